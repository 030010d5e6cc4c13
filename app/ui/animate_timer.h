#pragma once

#include "framework/core/timer.h"
#include "framework/core/weak_ref.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/window.h"

#include <cstdint>
#include <memory>

namespace tallybell {

/// The alarm window's animation timer: a timer placed on the window as one of its controls. It
/// refers to its window only weakly, so it never keeps the window alive.
class Window1_wrapper_animate : public fw::Timer, public fw::PaneChild {
public:
    /// The control index the framework gives the timer when it joins its window.
    std::int64_t Index = 0;
    /// The owning window, held weakly; Nil until the timer joins one.
    std::shared_ptr<fw::WeakRef> ownerWindow;

    void _SetWindow(const std::shared_ptr<fw::Window>& w) override;
    std::shared_ptr<fw::Window> Window() const override;
    std::int64_t _Index() const override;
    void _SetIndex(std::int64_t i) override;
    void Constructor();
};

} // namespace tallybell
