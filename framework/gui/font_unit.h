#pragma once

#include <cstdint>

namespace fw {

/// The unit a font size is given in; stored in a property list as one byte.
enum class FontUnit : std::uint8_t { Default = 0, Pixel = 1, Point = 2, Inch = 3, Millimeter = 4 };

} // namespace fw
