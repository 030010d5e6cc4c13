#include "framework/core/dictionary.h"
#include "framework/core/json.h"
#include "framework/core/json_utf8_p.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

namespace {

using json_detail::kMaxDepth;
using json_detail::kReplacementCharacter;
using json_detail::utf8SequenceLength;

/// Writes the compact JSON form of a value.
class Generator {
public:
    std::string Take() { return std::move(out_); }

    void WriteValue(const Auto& value, int depth) {
        if (depth > kMaxDepth) {
            throw TypeMismatchException("The value is nested too deeply for JSON (or contains "
                                        "itself)");
        }
        if (value.IsNil()) {
            out_ += "null";
            return;
        }
        std::visit([&](const auto& v) { write(v, depth); }, value.Raw());
    }

private:
    void write(std::monostate, int) { out_ += "null"; }
    void write(bool b, int) { out_ += b ? "true" : "false"; }
    void write(std::int64_t i, int) { out_ += std::to_string(i); }
    void write(const Text& t, int) { writeString(t.Utf8()); }
    void write(const String& s, int) { writeString(s.Bytes()); }

    void write(double d, int) {
        std::array<char, 32> buffer{};
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d);
        const std::string_view text(buffer.data(), result.ptr - buffer.data());
        if (text.find_first_of("ni") != std::string_view::npos) {
            throw TypeMismatchException("JSON has no form for " + std::string(text));
        }
        out_ += text;
        // Keeps a whole double a double when it is read back.
        if (text.find_first_of(".e") == std::string_view::npos) {
            out_ += ".0";
        }
    }

    void write(const std::shared_ptr<Dictionary>& dictionary, int depth) {
        out_ += '{';
        bool first = true;
        for (const auto& [key, value] : dictionary->Entries()) {
            if (!key.IsText() && !key.IsString()) {
                throw TypeMismatchException("A JSON member name must be text");
            }
            if (!first) {
                out_ += ',';
            }
            first = false;
            writeString(key.ToText().Utf8());
            out_ += ':';
            WriteValue(value, depth + 1);
        }
        out_ += '}';
    }

    void write(const std::shared_ptr<AutoArray>& array, int depth) {
        out_ += '[';
        for (std::size_t i = 0; i < array->size(); ++i) {
            if (i > 0) {
                out_ += ',';
            }
            WriteValue((*array)[i], depth + 1);
        }
        out_ += ']';
    }

    void write(const std::shared_ptr<Object>&, int) {
        throw TypeMismatchException("JSON has no form for this object");
    }

    // Invalid UTF-8 (a string of raw bytes) becomes U+FFFD, so the output is always JSON that
    // ParseJSON reads back.
    void writeString(std::string_view s) {
        out_ += '"';
        std::size_t i = 0;
        while (i < s.size()) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x80) {
                const std::size_t length = utf8SequenceLength(s, i);
                out_ += length ? s.substr(i, length) : kReplacementCharacter;
                i += length ? length : 1;
                continue;
            }
            writeAscii(static_cast<char>(c));
            ++i;
        }
        out_ += '"';
    }

    void writeAscii(char c) {
        switch (c) {
        case '"':
            out_ += "\\\"";
            return;
        case '\\':
            out_ += "\\\\";
            return;
        case '\b':
            out_ += "\\b";
            return;
        case '\f':
            out_ += "\\f";
            return;
        case '\n':
            out_ += "\\n";
            return;
        case '\r':
            out_ += "\\r";
            return;
        case '\t':
            out_ += "\\t";
            return;
        default:
            break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out_ += "\\u00";
            out_ += kHex[(c >> 4) & 0xF];
            out_ += kHex[c & 0xF];
        } else {
            out_ += c;
        }
    }

    std::string out_;
};

} // namespace

Text GenerateJSON(const Auto& value) {
    Generator generator;
    generator.WriteValue(value, 0);
    return Text(generator.Take());
}

} // namespace fw
