#include "framework/core/string.h"

#include "framework/core/text.h"

namespace fw {

String::String(const Text& text) : bytes_(text.Utf8()), encoding_(TextEncoding::UTF8()) {}

String String::FromBytes(std::string bytes, const TextEncoding* encoding) {
    String s(std::move(bytes));
    s.encoding_ = encoding;
    return s;
}

String operator+(const String& a, const String& b) {
    String joined(a.bytes_ + b.bytes_);
    joined.encoding_ = a.encoding_ ? a.encoding_ : b.encoding_;
    return joined;
}

int Compare(const String& a, const String& b) {
    const int c = a.Bytes().compare(b.Bytes());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Text::Text(const String& string) : utf8_(string.Bytes()) {}

} // namespace fw
