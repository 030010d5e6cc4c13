#include "framework/gui/window_list.h"

#include "framework/gui/window.h"

#include <algorithm>

namespace fw {

namespace {
std::vector<std::shared_ptr<Window>>& windowList() {
    static std::vector<std::shared_ptr<Window>> windows;
    return windows;
}
} // namespace

void CloseAllWindows() {
    // Close handlers may open or close windows themselves, so work from a snapshot and close
    // the latest first, as a user closing them one by one would.
    auto windows = windowList();
    std::reverse(windows.begin(), windows.end());
    for (const auto& window : windows) {
        window->Close();
    }
}

void registerOpenWindow(std::shared_ptr<Window> window) {
    windowList().push_back(std::move(window));
}

std::shared_ptr<Window> unregisterOpenWindow(const Window* window) {
    auto& windows = windowList();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [window](const auto& open) { return open.get() == window; });
    if (found == windows.end()) {
        return nullptr;
    }
    auto held = std::move(*found);
    windows.erase(found);
    return held;
}

std::vector<std::shared_ptr<Window>> openWindows() {
    return windowList();
}

} // namespace fw
