#pragma once

#include <cstdint>
#include <memory>

namespace fw {

class Window;

/// How a control joins its window: the window hands itself and the control's index over.
/// A control refers to its window weakly, so it never keeps the window alive.
class PaneChild {
public:
    virtual ~PaneChild() = default;
    virtual void _SetWindow(const std::shared_ptr<fw::Window>& window) = 0;
    /// The owning window; Nil before it joined one and once that window is gone.
    virtual std::shared_ptr<fw::Window> Window() const = 0;
    virtual std::int64_t _Index() const = 0;
    virtual void _SetIndex(std::int64_t index) = 0;
};

/// The index of a control that is not a member of an indexed set (the lowest 32-bit integer).
inline constexpr std::int64_t kNotIndexed = -2147483648LL;

} // namespace fw
