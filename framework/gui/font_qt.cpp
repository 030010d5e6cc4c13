#include "framework/gui/font_qt_p.h"
#include "framework/gui/qt_text_p.h"

#include <QApplication>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr double kPixelsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;
const String kSystemFontName = "System";

double pixelsFor(FontUnit unit, float size) {
    switch (unit) {
    case FontUnit::Inch:
        return size * kPixelsPerInch;
    case FontUnit::Millimeter:
        return size * kPixelsPerInch / kMillimetresPerInch;
    case FontUnit::Default:
    case FontUnit::Point:
    case FontUnit::Pixel:
        break;
    }
    return size;
}

} // namespace

QFont QtFont(const String& family, FontUnit unit, float size) {
    QFont font = QApplication::font();
    if (!family.IsEmpty() && family != kSystemFontName) {
        font.setFamilies({qtText(family)});
    }
    if (!(size > 0)) {
        return font; // 0 (or nonsense) keeps the platform's default size
    }
    // Not setPointSize: Qt scales points by the screen's dots per inch (30 points are 40 pixels
    // at 96), a third larger than the sizes were meant to be.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelsFor(unit, size)))));
    return font;
}

} // namespace fw
