#include "framework/gui/canvas.h"

#include "framework/gui/graphics.h"
#include "framework/gui/runtime.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace fw {

namespace {

// The widget showing a Canvas: turns Qt's paint and mouse events into the Canvas's events.
class CanvasWidget : public QWidget {
public:
    CanvasWidget(Canvas* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}
    void Detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Keeps the Canvas alive while its handler runs: the handler may close its window.
    template <class Handler> void dispatch(Handler handler) {
        if (!owner_) {
            return;
        }
        const auto keepAlive = owner_->weak_from_this().lock();
        Canvas* canvas = owner_;
        RaiseEvent([&] { handler(*canvas); });
    }

    Canvas* owner_;
    bool pressTaken_ = false;
};

std::vector<Rect> areasOf(const QRegion& region) {
    std::vector<Rect> areas;
    for (const QRect& r : region) {
        areas.push_back(Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())});
    }
    return areas;
}

void CanvasWidget::paintEvent(QPaintEvent* event) {
    if (!owner_) {
        return;
    }
    QPainter painter(this);
    if (!owner_->Transparent()) {
        painter.fillRect(rect(), palette().window());
    }
    Graphics g(painter, width(), height());
    const std::vector<Rect> areas = areasOf(event->region());
    dispatch([&](Canvas& canvas) { canvas.Event_Paint(g, areas); });
}

void CanvasWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    pressTaken_ = false;
    dispatch([&](Canvas& canvas) { pressTaken_ = canvas.Event_MouseDown(at.x(), at.y()); });
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressTaken_) {
        return;
    }
    pressTaken_ = false;
    const QPoint at = event->position().toPoint();
    dispatch([&](Canvas& canvas) { canvas.Event_MouseUp(at.x(), at.y()); });
}

void CanvasWidget::enterEvent(QEnterEvent*) {
    dispatch([](Canvas& canvas) { canvas.Event_MouseEnter(); });
}

void CanvasWidget::leaveEvent(QEvent*) {
    dispatch([](Canvas& canvas) { canvas.Event_MouseExit(); });
}

} // namespace

Canvas::Canvas() = default;

Canvas::~Canvas() {
    // The widget may outlive this object briefly (the control base deletes it); it must not
    // report to a Canvas that is gone.
    if (auto* widget = dynamic_cast<CanvasWidget*>(qtWidget())) {
        widget->Detach();
    }
}

// The erase flag changes nothing here: Qt erases what it repaints in any case.
void Canvas::Invalidate(bool) {
    if (QWidget* widget = qtWidget()) {
        widget->update();
    }
}

void Canvas::Refresh(bool) {
    if (QWidget* widget = qtWidget()) {
        widget->repaint();
    }
}

void Canvas::Event_Paint(Graphics& g, const std::vector<Rect>& areas) {
    if (paint_) {
        paint_(*this, &g, areas);
    }
}

bool Canvas::Event_MouseDown(std::int64_t, std::int64_t) {
    return false;
}

void Canvas::Event_MouseUp(std::int64_t, std::int64_t) {}

QWidget* Canvas::makeWidget(QWidget* parent) {
    return new CanvasWidget(this, parent);
}

void Canvas::applyToWidget() {
    Control::applyToWidget();
    QWidget* widget = qtWidget();
    if (!widget) {
        return;
    }
    widget->setFocusPolicy(AllowFocus() ? Qt::StrongFocus : Qt::NoFocus);
    widget->update(); // transparency may have changed
}

const PropertyRegistry& Canvas::properties() const {
    return CanvasProperties();
}

const PropertyRegistry& CanvasProperties() {
    static const PropertyRegistry registry(&ControlProperties());
    return registry;
}

} // namespace fw
