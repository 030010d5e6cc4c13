#pragma once

// Internal, Qt-facing: how a window shows the menu-bar model, and pop-up menus.

#include "framework/core/string.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QAction;
class QKeySequence;
class QMainWindow;

namespace fw {

class MenuBar;
class MenuItem;

/// Builds the window's Qt menu bar from the model (on macOS this becomes the global menu bar);
/// choosing an item runs the application's handler for its name, the quit item quits.
void InstallMenuBar(QMainWindow* window, const std::shared_ptr<MenuBar>& bar);

/// The application's menu bar while no window shows one: on macOS a parentless Qt menu bar
/// (the global one); elsewhere there is nowhere to show it, and nothing is built.
void InstallApplicationMenuBar(const std::shared_ptr<MenuBar>& bar);

/// The Qt action the window's menu bar was built with for the item of that name (for a menu,
/// its menu action); nullptr when there is none. Triggering it is choosing the item.
QAction* MenuBarAction(QMainWindow* window, const String& itemName);

/// The key sequence for a shortcut text ("Cmd+Q" is Ctrl+Q, Command on macOS); empty for
/// empty or unreadable text.
QKeySequence ShortcutKeys(const String& shortcut);

/// Shows root's children as a modal pop-up menu at a screen position (the pointer when none)
/// and gives the chosen item, Nil when dismissed.
std::shared_ptr<MenuItem> PopUpMenu(const MenuItem& root,
                                    std::optional<std::pair<std::int64_t, std::int64_t>> at);

} // namespace fw
