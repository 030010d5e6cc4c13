#pragma once

#include "framework/gui/tray_item.h"

#include <cstdint>

namespace tallybell {

/// The application's status-bar item: a pop-up menu (About, Change Name, Exit) on a context
/// click, the alarm window on a double click. Start-up installs none.
class AppTrayItem : public fw::TrayItem {
public:
    void Event_Action(std::int64_t cause) override;

private:
    void popUpMenu();
};

} // namespace tallybell
