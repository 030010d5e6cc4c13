#pragma once

#include <memory>
#include <vector>

namespace fw {

class Window;

/// Closes every open window, each raising its Close event (quitting does this first).
void CloseAllWindows();

/// The framework's hold on open windows, shown or hidden, in the order they were opened.
void registerOpenWindow(std::shared_ptr<Window> window);
/// Lets go of a window; gives the reference the list held (Nil when it held none).
std::shared_ptr<Window> unregisterOpenWindow(const Window* window);
std::vector<std::shared_ptr<Window>> openWindows();

} // namespace fw
