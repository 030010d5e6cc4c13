#include "framework/core/json.h"

#include "framework/core/dictionary.h"
#include "framework/core/json_utf8_p.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

namespace {

using json_detail::appendUtf8;
using json_detail::kMaxDepth;
using json_detail::utf8SequenceLength;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// A strict recursive-descent reader of one JSON text.
class Parser {
public:
    explicit Parser(std::string_view in) : in_(in) {}

    Auto Document() {
        skipWhitespace();
        if (atEnd()) {
            fail("empty text");
        }
        Auto value = parseValue(0);
        skipWhitespace();
        if (!atEnd()) {
            fail("unexpected text after the value");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const char* why) const {
        throw InvalidJSONException("Invalid JSON at byte " + std::to_string(pos_) + ": " + why);
    }

    bool atEnd() const { return pos_ >= in_.size(); }
    char peek() const { return atEnd() ? '\0' : in_[pos_]; }

    void skipWhitespace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++pos_;
        }
    }

    void expect(char c, const char* why) {
        if (peek() != c) {
            fail(why);
        }
        ++pos_;
    }

    Auto parseValue(int depth) {
        switch (peek()) {
        case '{':
            return parseObject(depth + 1);
        case '[':
            return parseArray(depth + 1);
        case '"':
            return Auto(Text(parseString()));
        case 't':
            expectLiteral("true");
            return Auto(true);
        case 'f':
            expectLiteral("false");
            return Auto(false);
        case 'n':
            expectLiteral("null");
            return Auto();
        default:
            if (peek() == '-' || isDigit(peek())) {
                return parseNumber();
            }
            fail(atEnd() ? "a value is missing" : "unexpected character");
        }
    }

    void expectLiteral(std::string_view literal) {
        if (in_.substr(pos_, literal.size()) != literal) {
            fail("unknown literal");
        }
        pos_ += literal.size();
    }

    Auto parseObject(int depth) {
        if (depth > kMaxDepth) {
            fail("nested too deeply");
        }
        ++pos_; // '{'
        auto object = std::make_shared<Dictionary>();
        skipWhitespace();
        if (peek() == '}') {
            ++pos_;
            return Auto(object);
        }
        while (true) {
            skipWhitespace();
            if (peek() != '"') {
                fail("a member name is missing");
            }
            Text name(parseString());
            skipWhitespace();
            expect(':', "':' is missing after a member name");
            skipWhitespace();
            object->Value(Auto(std::move(name)), parseValue(depth));
            skipWhitespace();
            if (peek() == '}') {
                ++pos_;
                return Auto(object);
            }
            expect(',', "',' or '}' is missing in an object");
        }
    }

    Auto parseArray(int depth) {
        if (depth > kMaxDepth) {
            fail("nested too deeply");
        }
        ++pos_; // '['
        auto array = std::make_shared<AutoArray>();
        skipWhitespace();
        if (peek() == ']') {
            ++pos_;
            return Auto(array);
        }
        while (true) {
            skipWhitespace();
            array->push_back(parseValue(depth));
            skipWhitespace();
            if (peek() == ']') {
                ++pos_;
                return Auto(array);
            }
            expect(',', "',' or ']' is missing in an array");
        }
    }

    std::string parseString() {
        ++pos_; // opening quote
        std::string out;
        while (true) {
            const std::size_t start = pos_;
            while (!atEnd()) {
                const auto c = static_cast<unsigned char>(in_[pos_]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) {
                    break;
                }
                ++pos_;
            }
            out.append(in_.substr(start, pos_ - start));
            if (atEnd()) {
                fail("unterminated string");
            }
            const auto c = static_cast<unsigned char>(in_[pos_]);
            if (c == '"') {
                ++pos_;
                return out;
            } else if (c == '\\') {
                parseEscape(out);
            } else if (c < 0x20) {
                fail("control character in a string");
            } else {
                copyUtf8Sequence(out);
            }
        }
    }

    void copyUtf8Sequence(std::string& out) {
        const std::size_t length = utf8SequenceLength(in_, pos_);
        if (length == 0) {
            fail("invalid UTF-8");
        }
        out.append(in_.substr(pos_, length));
        pos_ += length;
    }

    void parseEscape(std::string& out) {
        ++pos_; // backslash
        const char c = peek();
        ++pos_;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return;
        case 'b':
            out += '\b';
            return;
        case 'f':
            out += '\f';
            return;
        case 'n':
            out += '\n';
            return;
        case 'r':
            out += '\r';
            return;
        case 't':
            out += '\t';
            return;
        case 'u':
            appendUtf8(out, parseUnicodeEscape());
            return;
        default:
            --pos_;
            fail("invalid escape");
        }
    }

    // After "\u": one code point, joining a surrogate pair; a lone surrogate has no UTF-8 form.
    char32_t parseUnicodeEscape() {
        const char32_t unit = parseHex4();
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            fail("unpaired low surrogate");
        }
        if (unit < 0xD800 || unit > 0xDBFF) {
            return unit;
        }
        if (in_.substr(pos_, 2) != "\\u") {
            fail("unpaired high surrogate");
        }
        pos_ += 2;
        const char32_t low = parseHex4();
        if (low < 0xDC00 || low > 0xDFFF) {
            fail("unpaired high surrogate");
        }
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }

    char32_t parseHex4() {
        char32_t value = 0;
        for (int i = 0; i < 4; ++i, ++pos_) {
            const char c = peek();
            int digit = 0;
            if (isDigit(c)) {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                fail("invalid \\u escape");
            }
            value = value * 16 + static_cast<char32_t>(digit);
        }
        return value;
    }

    void skipDigits() {
        while (isDigit(peek())) {
            ++pos_;
        }
    }

    void requireDigits(const char* why) {
        if (!isDigit(peek())) {
            fail(why);
        }
        skipDigits();
    }

    Auto parseNumber() {
        const std::size_t start = pos_;
        if (peek() == '-') {
            ++pos_;
        }
        if (peek() == '0') {
            ++pos_; // no leading zeros: "01" stops here and fails as trailing text
        } else {
            requireDigits("a digit is missing");
        }
        bool integral = true;
        if (peek() == '.') {
            ++pos_;
            requireDigits("a digit is missing after the decimal point");
            integral = false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') {
                ++pos_;
            }
            requireDigits("a digit is missing in the exponent");
            integral = false;
        }
        return convertNumber(in_.substr(start, pos_ - start), integral);
    }

    Auto convertNumber(std::string_view number, bool integral) {
        const char* first = number.data();
        const char* last = first + number.size();
        if (integral) {
            std::int64_t i = 0;
            const auto result = std::from_chars(first, last, i);
            if (result.ec == std::errc() && result.ptr == last) {
                return Auto(i);
            }
            // Beyond 64 bits: kept as the nearest double.
        }
        double d = 0;
        const auto result = std::from_chars(first, last, d);
        if (result.ec == std::errc() && result.ptr == last) {
            return Auto(d);
        }
        if (result.ec == std::errc::result_out_of_range && isTiny(number)) {
            return Auto(number.front() == '-' ? -0.0 : 0.0);
        }
        fail("number out of range");
    }

    // Whether an out-of-range number is below the smallest double rather than above the largest:
    // the decimal exponent of its first significant digit is negative.
    static bool isTiny(std::string_view number) {
        long long magnitude = 0;
        bool seenPoint = false, seenSignificant = false;
        std::size_t i = number.front() == '-' ? 1 : 0;
        for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
            if (number[i] == '.') {
                seenPoint = true;
            } else if (!seenSignificant) {
                seenSignificant = number[i] != '0';
                // A zero after the point, or the first digit after leading zeros, moves it down.
                magnitude = seenPoint ? magnitude - 1 : 0;
            } else if (!seenPoint) {
                ++magnitude;
            }
        }
        return magnitude + exponentOf(number.substr(i)) < 0;
    }

    // The exponent part ("e-400"), saturated so that absurd exponents cannot overflow.
    static long long exponentOf(std::string_view part) {
        if (part.empty()) {
            return 0;
        }
        std::size_t i = 1;
        const bool negative = part[i] == '-';
        if (part[i] == '-' || part[i] == '+') {
            ++i;
        }
        long long value = 0;
        for (; i < part.size(); ++i) {
            value = std::min(value * 10 + (part[i] - '0'), 1'000'000'000LL);
        }
        return negative ? -value : value;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

} // namespace

Auto ParseJSON(const Text& json) {
    return Parser(json.Utf8()).Document();
}

} // namespace fw
