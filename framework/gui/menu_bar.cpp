#include "framework/gui/menu_bar.h"

namespace fw {

// A bar needs no set-up of its own beyond an item's; what it adds is how it is shown
// (menu_qt.cpp).
MenuBar::MenuBar() = default;
MenuBar::~MenuBar() = default;

} // namespace fw
