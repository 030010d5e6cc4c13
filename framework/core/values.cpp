#include "framework/core/values.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace fw {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view s, std::size_t i) {
    while (i < s.size() && isDigit(s[i])) {
        ++i;
    }
    return i;
}

/// The longest decimal number at the start of s: where it ends, whether its exponent is
/// negative, and 0 when there is none.
struct NumberSpan {
    std::size_t end = 0;
    bool negativeExponent = false;
};

NumberSpan scanNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    const std::size_t intStart = i;
    i = skipDigits(s, i);
    bool digits = i > intStart;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracEnd = skipDigits(s, i + 1);
        digits = digits || fracEnd > i + 1;
        i = fracEnd;
    }
    if (!digits) {
        return {};
    }
    NumberSpan span{i, false};
    // An exponent counts only when digits follow it ("2e" is the number 2).
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t e = i + 1;
        const bool negative = e < s.size() && s[e] == '-';
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) {
            ++e;
        }
        const std::size_t expEnd = skipDigits(s, e);
        if (expEnd > e) {
            span = {expEnd, negative};
        }
    }
    return span;
}

// from_chars takes no '+' and is independent of the C locale, which Qt sets from the environment.
double convert(std::string_view number, bool negativeExponent) {
    bool negative = false;
    if (number.front() == '+' || number.front() == '-') {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

} // namespace

double Val(const String& text) {
    std::string_view s = text.Bytes();
    std::size_t start = 0;
    while (start < s.size() && isSpace(s[start])) {
        ++start;
    }
    s.remove_prefix(start);
    const NumberSpan span = scanNumber(s);
    if (span.end == 0) {
        return 0;
    }
    return convert(s.substr(0, span.end), span.negativeExponent);
}

std::int64_t Asc(const String& text) {
    const std::string& s = text.Bytes();
    if (s.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    // Raw bytes, a stray continuation byte or a cut sequence answer with the first byte itself.
    if (text.Encoding() != TextEncoding::UTF8() || lead < 0xC0 || lead > 0xF4 ||
        s.size() < length) {
        return lead;
    }
    std::int64_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80) {
            return lead;
        }
        code = (code << 6) | (c & 0x3F);
    }
    return code;
}

String EndOfLine::Text() {
#ifdef _WIN32
    return String("\r\n");
#else
    return String("\n");
#endif
}

String operator+(const String& s, EndOfLine) {
    return s + EndOfLine::Text();
}

} // namespace fw
