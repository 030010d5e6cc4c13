#pragma once

// Framework-internal: how a font given by family, unit and size becomes a Qt font, for every
// control and drawing context alike. The application's code never includes this header.

#include "framework/core/string.h"
#include "framework/gui/font_unit.h"

#include <QFont>

namespace fw {

/// The font for family ("System" or empty: the platform's default font), unit and size (0 or
/// less: the platform's default size). A point is drawn as one device-independent pixel, as the
/// sizes were chosen on a platform that draws them so at standard resolution; an inch is 72
/// of them.
QFont QtFont(const String& family, FontUnit unit, float size);

} // namespace fw
