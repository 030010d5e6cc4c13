#include "framework/gui/tray_item.h"

#include "framework/gui/picture.h"
#include "framework/gui/picture_qt_p.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/runtime.h"
#include "framework/gui/ui_thread_p.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QSystemTrayIcon>

#include <optional>

namespace fw {

// The Qt item is a child of the Qt application, which deletes it should it go first; the
// guarded pointer then reads null, so nothing is deleted twice.
class TrayItem::SystemIcon {
public:
    QPointer<QSystemTrayIcon> icon;
};

namespace {

std::optional<std::int64_t> causeFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayItem::LeftClick;
    case QSystemTrayIcon::Context:
        return TrayItem::ContextClick;
    case QSystemTrayIcon::DoubleClick:
        return TrayItem::DoubleClick;
    default:
        return std::nullopt; // middle click and unknown gestures mean nothing here
    }
}

QIcon applicationIcon() {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    }
    return icon;
}

// Deleted later rather than now: the item may be removed by a handler of its own activation
// (Exit quits, and quitting removes the item), while Qt is still emitting from it.
void release(QPointer<QSystemTrayIcon>& icon) {
    if (!icon) {
        return;
    }
    icon->disconnect();
    icon->hide();
    icon->deleteLater();
    icon.clear();
}

} // namespace

TrayItem::TrayItem() : system_(std::make_unique<SystemIcon>()) {}

TrayItem::~TrayItem() {
    release(system_->icon);
}

std::intptr_t TrayItem::Handle() const {
    return reinterpret_cast<std::intptr_t>(system_->icon.data());
}

void TrayItem::Icon(std::shared_ptr<Picture> picture) {
    icon_ = std::move(picture);
    applyIcon();
}

void TrayItem::Tooltip(const String& text) {
    tooltip_ = text;
    if (system_->icon) {
        system_->icon->setToolTip(qtText(tooltip_));
    }
}

QSystemTrayIcon* TrayItem::systemTrayIcon() const {
    return system_->icon.data();
}

void TrayItem::install() {
    RequireMainThread();
    if (system_->icon) {
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        throw RuntimeException(
            "A status-bar item cannot be shown before the user interface exists");
    }
    auto* icon = new QSystemTrayIcon(QCoreApplication::instance());
    system_->icon = icon;
    applyIcon();
    icon->setToolTip(qtText(tooltip_));
    // No context menu is given to Qt: the context click reaches Action like the others.
    QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         const std::optional<std::int64_t> cause = causeFor(reason);
                         if (!cause) {
                             return;
                         }
                         // The handler may drop the last reference to this item.
                         auto keepAlive = weak_from_this().lock();
                         RaiseEvent([this, cause] { Event_Action(*cause); });
                     });
    // A desktop without a status area (or the offscreen platform) shows nothing; not a failure.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon->show();
    }
}

void TrayItem::uninstall() {
    RequireMainThread();
    release(system_->icon);
}

void TrayItem::applyIcon() {
    if (!system_->icon) {
        return;
    }
    system_->icon->setIcon(icon_ ? QIcon(QPixmap::fromImage(PictureImage(*icon_)))
                                 : applicationIcon());
}

} // namespace fw
