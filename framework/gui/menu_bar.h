#pragma once

#include "framework/gui/menu_item.h"

namespace fw {

/// The root of a menu tree shown as a menu bar: its children are the menus, theirs the items.
class MenuBar : public MenuItem {
public:
    MenuBar();
    ~MenuBar() override;
};

} // namespace fw
