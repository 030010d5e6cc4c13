#pragma once

#include "framework/core/text_encoding.h"

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

class Text;

/// A byte string with its text encoding; literals are UTF-8. Equality compares the bytes exactly.
class String {
public:
    String() = default;
    String(const char* utf8) : bytes_(utf8 ? utf8 : ""), encoding_(TextEncoding::UTF8()) {}
    String(std::string utf8) : bytes_(std::move(utf8)), encoding_(TextEncoding::UTF8()) {}
    String(std::string_view utf8) : bytes_(utf8), encoding_(TextEncoding::UTF8()) {}
    explicit String(const Text& text);

    /// Raw bytes with the given encoding (nullptr: no encoding, as a datagram read without one).
    static String FromBytes(std::string bytes, const TextEncoding* encoding);

    const std::string& Bytes() const { return bytes_; }
    const TextEncoding* Encoding() const { return encoding_; }
    std::size_t Size() const { return bytes_.size(); }
    bool IsEmpty() const { return bytes_.empty(); }

    friend bool operator==(const String& a, const String& b) { return a.bytes_ == b.bytes_; }
    friend std::strong_ordering operator<=>(const String& a, const String& b) {
        return a.bytes_ <=> b.bytes_;
    }
    friend String operator+(const String& a, const String& b);

private:
    std::string bytes_;
    const TextEncoding* encoding_ = TextEncoding::UTF8();
};

/// The framework's string comparison: 0 when equal (bytes, case-sensitive), else -1 or 1.
int Compare(const String& a, const String& b);

} // namespace fw
