#include "framework/gui/appearance.h"

#include <QApplication>
#include <QPalette>

namespace fw {

namespace {
AppearanceOverride* activeOverride = nullptr;

// Below the middle of the lightness scale counts as dark.
constexpr int kDarkLightnessLimit = 128;
} // namespace

AppearanceOverride::AppearanceOverride(bool dark) : dark_(dark), previous_(activeOverride) {
    activeOverride = this;
}

AppearanceOverride::~AppearanceOverride() {
    activeOverride = previous_;
}

bool IsDarkMode() {
    if (activeOverride) {
        return activeOverride->dark_;
    }
    if (!QCoreApplication::instance()) {
        return false;
    }
    return QApplication::palette().color(QPalette::Window).lightness() < kDarkLightnessLimit;
}

} // namespace fw
