#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/property_list.h"

#include <cstdint>
#include <memory>

class QWidget;

namespace fw {

class Window;

/// Base of the controls placed on a window: position, size, anchoring, focus and visibility.
class Control : public Object, public PaneChild, public PropertyTarget {
public:
    Control();
    ~Control() override;

    /// Runs after creation, before the control joins a window; subclasses may extend it.
    virtual void Constructor() {}

    // PaneChild
    void _SetWindow(const std::shared_ptr<fw::Window>& window) override;
    std::shared_ptr<fw::Window> Window() const override;
    std::int64_t _Index() const override { return index_; }
    void _SetIndex(std::int64_t index) override { index_ = index; }

    const PropertyRegistry& properties() const override;
    /// The framework's question whether this class handles an event; none by default.
    virtual bool IsEventImplemented(const String& eventName) const;

    const String& Name() const { return name_; }
    void Name(const String& name) { name_ = name; }
    std::int64_t Index() const { return index_; }
    void Index(std::int64_t index) { index_ = index; }

    std::int64_t Left() const { return left_; }
    void Left(std::int64_t left);
    std::int64_t Top() const { return top_; }
    void Top(std::int64_t top);
    std::int64_t Width() const { return width_; }
    void Width(std::int64_t width);
    std::int64_t Height() const { return height_; }
    void Height(std::int64_t height);

    /// Anchors: a side locked to the window's matching edge follows that edge on resizing.
    bool LockLeft() const { return lockLeft_; }
    void LockLeft(bool on) { lockLeft_ = on; }
    bool LockTop() const { return lockTop_; }
    void LockTop(bool on) { lockTop_ = on; }
    bool LockRight() const { return lockRight_; }
    void LockRight(bool on) { lockRight_ = on; }
    bool LockBottom() const { return lockBottom_; }
    void LockBottom(bool on) { lockBottom_ = on; }

    std::int64_t TabIndex() const { return tabIndex_; }
    void TabIndex(std::int64_t index) { tabIndex_ = index; }
    std::int64_t TabPanelIndex() const { return tabPanelIndex_; }
    void TabPanelIndex(std::int64_t index) { tabPanelIndex_ = index; }
    bool TabStop() const { return tabStop_; }
    void TabStop(bool on) { tabStop_ = on; }
    bool AllowAutoDeactivate() const { return allowAutoDeactivate_; }
    void AllowAutoDeactivate(bool on) { allowAutoDeactivate_ = on; }
    bool Enabled() const { return enabled_; }
    void Enabled(bool on);
    const String& Tooltip() const { return tooltip_; }
    void Tooltip(const String& text);
    bool AllowFocusRing() const { return allowFocusRing_; }
    void AllowFocusRing(bool on) { allowFocusRing_ = on; }
    bool Visible() const { return visible_; }
    void Visible(bool on);
    bool AllowFocus() const { return allowFocus_; }
    void AllowFocus(bool on);
    bool AllowTabs() const { return allowTabs_; }
    void AllowTabs(bool on) { allowTabs_ = on; }
    bool DoubleBuffer() const { return doubleBuffer_; }
    void DoubleBuffer(bool on) { doubleBuffer_ = on; }
    bool Transparent() const { return transparent_; }
    void Transparent(bool on);
    /// The name of the control this one stands in; empty: the window itself.
    const String& InitialParent() const { return initialParent_; }
    void InitialParent(const String& name) { initialParent_ = name; }

    /// Framework use: builds the control's widget inside the window's content area.
    void attach(QWidget* content);
    /// Framework use: the window's content area changed size by (dw, dh); follows the locks.
    void followResize(int dw, int dh);
    /// Framework use: the control's widget, nullptr before it is attached or once it is gone.
    QWidget* qtWidget() const;

protected:
    /// Makes the Qt widget that shows this control, as a child of parent.
    virtual QWidget* makeWidget(QWidget* parent) = 0;
    /// Applies the model to the widget; subclasses extend it for their own properties.
    virtual void applyToWidget();

private:
    void applyGeometry();

    struct WidgetHolder;
    std::unique_ptr<WidgetHolder> widget_;
    std::weak_ptr<fw::Window> window_;
    String name_;
    std::int64_t index_ = kNotIndexed;
    std::int64_t left_ = 0;
    std::int64_t top_ = 0;
    std::int64_t width_ = 100;
    std::int64_t height_ = 100;
    bool lockLeft_ = true;
    bool lockTop_ = true;
    bool lockRight_ = false;
    bool lockBottom_ = false;
    std::int64_t tabIndex_ = 0;
    std::int64_t tabPanelIndex_ = 0;
    bool tabStop_ = true;
    bool allowAutoDeactivate_ = true;
    bool enabled_ = true;
    String tooltip_;
    bool allowFocusRing_ = true;
    bool visible_ = true;
    bool allowFocus_ = false;
    bool allowTabs_ = false;
    bool doubleBuffer_ = false;
    bool transparent_ = false;
    String initialParent_;
};

/// The registration every control class extends.
const PropertyRegistry& ControlProperties();

} // namespace fw
