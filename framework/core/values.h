#pragma once

#include "framework/core/string.h"

#include <cstdint>

namespace fw {

/// White space skipped, then the longest decimal number (sign, digits, point, exponent); 0 when
/// there is none.
double Val(const String& text);

/// The code of the first character (UTF-8 decoded); 0 for an empty string.
std::int64_t Asc(const String& text);

/// The platform's line end; appended with +.
struct EndOfLine {
    static String Text();
};
String operator+(const String& s, EndOfLine);

} // namespace fw
