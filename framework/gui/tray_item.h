#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>
#include <memory>

class QSystemTrayIcon;

namespace fw {

class Picture;

/// An item in the desktop's status area: an icon with a tooltip that raises Action when used.
class TrayItem : public Object {
public:
    /// The causes Action reports.
    enum Causes : std::int64_t { LeftClick = 100, ContextClick = 101, DoubleClick = 102 };

    TrayItem();
    ~TrayItem() override;

    /// The platform's item while the application shows this one; 0 otherwise.
    std::intptr_t Handle() const;

    /// The picture shown; Nil shows the application's icon, as an item without one is invisible.
    const std::shared_ptr<Picture>& Icon() const { return icon_; }
    void Icon(std::shared_ptr<Picture> picture);
    const String& Tooltip() const { return tooltip_; }
    void Tooltip(const String& text);

    /// Raised when the user acts on the item: 100 left click, 101 context (right) click,
    /// 102 double click. No menu of the platform's own is shown: a handler pops up its own.
    virtual void Event_Action(std::int64_t /*cause*/) {}

    /// Framework use (Application::AddTrayItem and RemoveTrayItem): builds the platform's item
    /// and shows it where the desktop has a status area; hides and releases it.
    void install();
    void uninstall();
    /// Framework use: the platform's item while installed, nullptr otherwise.
    QSystemTrayIcon* systemTrayIcon() const;

private:
    void applyIcon();

    std::shared_ptr<Picture> icon_;
    String tooltip_;
    class SystemIcon;
    std::unique_ptr<SystemIcon> system_;
};

} // namespace fw
