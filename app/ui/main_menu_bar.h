#pragma once

#include "framework/gui/menu_bar.h"

#include <memory>

namespace tallybell {

/// The application's one menu bar: File (About, Change Name, Quit) and Edit.
class MainMenuBar : public fw::MenuBar {
public:
    /// Builds the File menu, then the Edit menu; the bar itself is already set up.
    void Constructor();
    /// The File menu and its three items.
    void Untitled0();
    /// The Edit menu and its eight items.
    void Untitled1();

    /// The single instance; Nil until the accessor has built it whole.
    static std::shared_ptr<MainMenuBar> _implicitInstance;
};

/// The single menu bar, built on the first call.
std::shared_ptr<MainMenuBar> MainMenuBar();

} // namespace tallybell
