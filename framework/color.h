#pragma once

#include <cstdint>

namespace fw {

/// A colour as one 32-bit value &hTTRRGGBB: red, green, blue, and a transparency byte on top
/// (0, the usual case, is opaque).
class Color {
public:
    constexpr Color() = default;
    constexpr explicit Color(std::uint32_t value) : value_(value) {}
    static constexpr Color RGB(int red, int green, int blue, int transparency = 0) {
        return Color((std::uint32_t(transparency & 0xFF) << 24) |
                     (std::uint32_t(red & 0xFF) << 16) | (std::uint32_t(green & 0xFF) << 8) |
                     std::uint32_t(blue & 0xFF));
    }

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
