#pragma once

#include <string>
#include <vector>

namespace fw {

/// Shows the application's About panel (its name, version and long version), not modally.
/// There is one panel at a time: showing it again brings the open one forward.
void ShowAboutPanel();
/// Whether the About panel is open and shown.
bool IsAboutPanelVisible();
/// Closes the About panel if it is open.
void CloseAboutPanel();

/// The shown panel's title, and its lines of text top to bottom; empty when it is not shown.
std::string AboutPanelTitle();
std::vector<std::string> AboutPanelLines();

} // namespace fw
