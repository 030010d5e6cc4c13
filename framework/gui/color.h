#pragma once

#include <cstdint>

namespace fw {

/// A colour as one 32-bit value &hTTRRGGBB: red, green, blue, and a transparency byte on top
/// (0, the usual case, is opaque).
class Color {
public:
    constexpr Color() = default;
    constexpr explicit Color(std::uint32_t value) : value_(value) {}

    constexpr std::uint32_t Value() const { return value_; }
    constexpr int Red() const { return int((value_ >> 16) & 0xFF); }
    constexpr int Green() const { return int((value_ >> 8) & 0xFF); }
    constexpr int Blue() const { return int(value_ & 0xFF); }
    constexpr int Transparency() const { return int((value_ >> 24) & 0xFF); }

    friend constexpr bool operator==(Color a, Color b) { return a.value_ == b.value_; }

private:
    std::uint32_t value_ = 0;
};

} // namespace fw
