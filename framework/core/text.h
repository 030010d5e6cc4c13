#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace fw {

class String;

/// Immutable Unicode text, held as UTF-8.
class Text {
public:
    Text() = default;
    Text(const char* utf8) : utf8_(utf8 ? utf8 : "") {}
    Text(std::string utf8) : utf8_(std::move(utf8)) {}
    Text(std::string_view utf8) : utf8_(utf8) {}
    explicit Text(const String& string);

    const std::string& Utf8() const { return utf8_; }
    bool IsEmpty() const { return utf8_.empty(); }

    friend bool operator==(const Text& a, const Text& b) { return a.utf8_ == b.utf8_; }
    friend std::strong_ordering operator<=>(const Text& a, const Text& b) {
        return a.utf8_ <=> b.utf8_;
    }
    friend Text operator+(const Text& a, const Text& b) { return Text(a.utf8_ + b.utf8_); }

private:
    std::string utf8_;
};

} // namespace fw
