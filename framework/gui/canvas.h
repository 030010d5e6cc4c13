#pragma once

#include "framework/gui/control.h"
#include "framework/gui/rect.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace fw {

class Graphics;

/// A control that draws itself: the framework delivers its Paint and mouse events.
class Canvas : public Control {
public:
    using PaintHandler = std::function<void(Canvas&, Graphics*, const std::vector<Rect>&)>;

    Canvas();
    ~Canvas() override;

    const PropertyRegistry& properties() const override;

    /// Binds the Paint event to an owner's handler (used when the class leaves Paint alone).
    void BindPaint(PaintHandler handler) { paint_ = std::move(handler); }

    /// Asks for a repaint once the event loop is back (the whole control).
    void Invalidate(bool eraseBackground = true);
    /// Repaints at once: the Paint event has run when this returns (while the control shows).
    void Refresh(bool eraseBackground = true);

    /// Events, raised by the framework on the main thread.
    /// Paint: draw into g; areas are the parts that need it (the whole control may be drawn).
    virtual void Event_Paint(Graphics& g, const std::vector<Rect>& areas);
    /// A press on the control; true takes it, and the matching MouseUp comes wherever the
    /// pointer is at the release.
    virtual bool Event_MouseDown(std::int64_t x, std::int64_t y);
    virtual void Event_MouseUp(std::int64_t x, std::int64_t y);
    virtual void Event_MouseEnter() {}
    virtual void Event_MouseExit() {}

protected:
    QWidget* makeWidget(QWidget* parent) override;
    void applyToWidget() override;

private:
    PaintHandler paint_;
};

/// The registration of Canvas (the control properties; Canvas adds none of its own).
const PropertyRegistry& CanvasProperties();

} // namespace fw
