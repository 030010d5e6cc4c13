#pragma once

// Shared by the JSON reader and writer; not part of the framework's surface.

#include <cstddef>
#include <string>
#include <string_view>

namespace fw::json_detail {

// Deep enough for any real document, shallow enough that a hostile one cannot exhaust the stack
// of either the parser or the generator (which also stops a dictionary that contains itself).
inline constexpr int kMaxDepth = 512;

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

inline bool inRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

// Length of the well-formed UTF-8 sequence at pos (Unicode table 3-7: no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 when the bytes there are not one.
inline std::size_t utf8SequenceLength(std::string_view in, std::size_t pos) {
    const auto at = [&](std::size_t i) {
        return pos + i < in.size() ? static_cast<unsigned char>(in[pos + i]) : 0;
    };
    const unsigned char lead = at(0);
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    std::size_t length = 0;
    if (lead < 0x80) {
        return 1;
    } else if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (inRange(lead, 0xE0, 0xEF)) {
        length = 3;
        secondLow = lead == 0xE0 ? 0xA0 : 0x80;
        secondHigh = lead == 0xED ? 0x9F : 0xBF;
    } else if (inRange(lead, 0xF0, 0xF4)) {
        length = 4;
        secondLow = lead == 0xF0 ? 0x90 : 0x80;
        secondHigh = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!inRange(at(1), secondLow, secondHigh)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!inRange(at(i), 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

inline void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace fw::json_detail
