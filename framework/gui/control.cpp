#include "framework/gui/control.h"

#include "framework/core/values.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/ui_thread_p.h"
#include "framework/gui/window.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace fw {

struct Control::WidgetHolder {
    QPointer<QWidget> widget;
};

Control::Control() : widget_(std::make_unique<WidgetHolder>()) {
    RequireMainThread();
}

Control::~Control() {
    // The window's content area may already have taken the widget with it; QPointer knows.
    // After Qt has gone (a window still open at exit) nothing is left to delete.
    if (QCoreApplication::instance()) {
        delete widget_->widget.data();
    }
}

void Control::_SetWindow(const std::shared_ptr<fw::Window>& window) {
    window_ = window;
}

std::shared_ptr<fw::Window> Control::Window() const {
    return window_.lock();
}

bool Control::IsEventImplemented(const String&) const {
    return false;
}

void Control::Left(std::int64_t left) {
    left_ = left;
    applyGeometry();
}

void Control::Top(std::int64_t top) {
    top_ = top;
    applyGeometry();
}

void Control::Width(std::int64_t width) {
    width_ = std::max<std::int64_t>(width, 0);
    applyGeometry();
}

void Control::Height(std::int64_t height) {
    height_ = std::max<std::int64_t>(height, 0);
    applyGeometry();
}

void Control::Enabled(bool on) {
    enabled_ = on;
    if (QWidget* w = qtWidget()) {
        w->setEnabled(on);
    }
}

void Control::Tooltip(const String& text) {
    tooltip_ = text;
    if (QWidget* w = qtWidget()) {
        w->setToolTip(qtText(text));
    }
}

void Control::Visible(bool on) {
    visible_ = on;
    if (QWidget* w = qtWidget()) {
        w->setVisible(on);
    }
}

void Control::AllowFocus(bool on) {
    allowFocus_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void Control::Transparent(bool on) {
    transparent_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void Control::attach(QWidget* content) {
    if (qtWidget()) {
        throw InvalidArgumentException("The control \"" + name_.Bytes() +
                                       "\" is already on a window");
    }
    widget_->widget = makeWidget(content);
    applyToWidget();
}

void Control::followResize(int dw, int dh) {
    // A side locked to the far edge follows it; locked to both edges, the control stretches.
    if (lockRight_ && lockLeft_) {
        width_ = std::max<std::int64_t>(width_ + dw, 0);
    } else if (lockRight_) {
        left_ += dw;
    }
    if (lockBottom_ && lockTop_) {
        height_ = std::max<std::int64_t>(height_ + dh, 0);
    } else if (lockBottom_) {
        top_ += dh;
    }
    applyGeometry();
}

QWidget* Control::qtWidget() const {
    return widget_->widget.data();
}

void Control::applyToWidget() {
    QWidget* w = qtWidget();
    if (!w) {
        return;
    }
    applyGeometry();
    w->setEnabled(enabled_);
    w->setToolTip(qtText(tooltip_));
    w->setVisible(visible_);
}

void Control::applyGeometry() {
    if (QWidget* w = qtWidget()) {
        w->setGeometry(SaturateCast<int>(left_), SaturateCast<int>(top_), SaturateCast<int>(width_),
                       SaturateCast<int>(height_));
    }
}

const PropertyRegistry& Control::properties() const {
    return ControlProperties();
}

const PropertyRegistry& ControlProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r;
        r.AddSetter("Name", &Control::Name);
        r.AddSetter("Index", &Control::Index);
        r.AddSetter("Left", &Control::Left);
        r.AddSetter("Top", &Control::Top);
        r.AddSetter("Width", &Control::Width);
        r.AddSetter("Height", &Control::Height);
        r.AddSetter("LockLeft", &Control::LockLeft);
        r.AddSetter("LockTop", &Control::LockTop);
        r.AddSetter("LockRight", &Control::LockRight);
        r.AddSetter("LockBottom", &Control::LockBottom);
        r.AddSetter("TabIndex", &Control::TabIndex);
        r.AddSetter("TabPanelIndex", &Control::TabPanelIndex);
        r.AddSetter("TabStop", &Control::TabStop);
        r.AddSetter("AllowAutoDeactivate", &Control::AllowAutoDeactivate);
        r.AddSetter("Enabled", &Control::Enabled);
        r.AddSetter("Tooltip", &Control::Tooltip);
        r.AddSetter("AllowFocusRing", &Control::AllowFocusRing);
        r.AddSetter("Visible", &Control::Visible);
        r.AddSetter("AllowFocus", &Control::AllowFocus);
        r.AddSetter("AllowTabs", &Control::AllowTabs);
        r.AddSetter("DoubleBuffer", &Control::DoubleBuffer);
        r.AddSetter("Transparent", &Control::Transparent);
        r.AddSetter("InitialParent", &Control::InitialParent);
        return r;
    }();
    return registry;
}

} // namespace fw
