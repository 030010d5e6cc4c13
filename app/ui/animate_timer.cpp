#include "app/ui/animate_timer.h"

namespace tallybell {

void Window1_wrapper_animate::_SetWindow(const std::shared_ptr<fw::Window>& w) {
    ownerWindow = std::make_shared<fw::WeakRef>(w);
}

std::shared_ptr<fw::Window> Window1_wrapper_animate::Window() const {
    if (!ownerWindow) {
        return nullptr;
    }
    return std::static_pointer_cast<fw::Window>(ownerWindow->Value());
}

std::int64_t Window1_wrapper_animate::_Index() const {
    return Index;
}

void Window1_wrapper_animate::_SetIndex(std::int64_t i) {
    Index = i;
}

void Window1_wrapper_animate::Constructor() {
    // Nothing of its own: the window sets the run mode and period from its property list.
}

} // namespace tallybell
