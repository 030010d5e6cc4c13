#pragma once

#include "framework/core/string.h"

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

namespace fw {

/// White space skipped, then the longest decimal number (sign, digits, point, exponent); 0 when
/// there is none.
double Val(const String& text);

/// The code of the first character (UTF-8 decoded); 0 for an empty string.
std::int64_t Asc(const String& text);

/// value as a To, saturating: beyond To's range it gives To's nearest limit (where a plain cast
/// would wrap or be undefined). A floating-point value is truncated toward zero; NaN gives 0.
template <std::integral To, class From>
requires std::integral<From> || std::floating_point<From> To SaturateCast(From value) {
    constexpr To lowest = std::numeric_limits<To>::min();
    constexpr To highest = std::numeric_limits<To>::max();
    if constexpr (std::integral<From>) {
        if (std::cmp_less(value, lowest)) {
            return lowest;
        }
        if (std::cmp_greater(value, highest)) {
            return highest;
        }
    } else {
        if (std::isnan(value)) {
            return 0;
        }
        // Both bounds are powers of two (or 0), so exact in any floating-point type.
        constexpr From floor = static_cast<From>(lowest);
        // NOLINTNEXTLINE(bugprone-integer-division): halved first so the bound does not overflow
        constexpr From ceiling = static_cast<From>(highest / 2 + 1) * 2;
        if (value <= floor) {
            return lowest;
        }
        if (value >= ceiling) {
            return highest;
        }
    }
    return static_cast<To>(value);
}

/// The platform's line end; appended with +.
struct EndOfLine {
    static String Text();
};
String operator+(const String& s, EndOfLine);

} // namespace fw
