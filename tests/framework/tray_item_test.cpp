#include "framework/core/debug_log.h"
#include "framework/gui/application.h"
#include "framework/gui/picture_qt_p.h"
#include "framework/gui/tray_item.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace fw {
namespace {

class RecordingTrayItem : public TrayItem {
public:
    void Event_Action(std::int64_t cause) override {
        causes.push_back(cause);
        if (onAction) {
            onAction(cause);
        }
    }
    std::vector<std::int64_t> causes;
    std::function<void(std::int64_t)> onAction;
};

// What a user's gesture on the shown item delivers.
void activate(TrayItem& item, QSystemTrayIcon::ActivationReason reason) {
    QSystemTrayIcon* icon = item.systemTrayIcon();
    ASSERT_NE(icon, nullptr);
    Q_EMIT icon->activated(reason);
}

TEST(TrayItemTest, GesturesRaiseActionWithTheirCausesAndAnExceptionFromItIsOnlyLogged) {
    DebugLogCapture log;
    SystemLogCapture syslog;
    Application app;
    auto item = std::make_shared<RecordingTrayItem>();
    item->onAction = [](std::int64_t cause) {
        if (cause == 100) {
            throw NilObjectException();
        }
    };
    app.AddTrayItem(item);
    activate(*item, QSystemTrayIcon::Trigger);
    activate(*item, QSystemTrayIcon::Context);
    activate(*item, QSystemTrayIcon::DoubleClick);
    activate(*item, QSystemTrayIcon::MiddleClick);
    activate(*item, QSystemTrayIcon::Unknown);
    EXPECT_EQ(item->causes, (std::vector<std::int64_t>{100, 101, 102}));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("NilObjectException"), std::string::npos);
    // Qt's own menu would pop up in place of the application's on a context click.
    EXPECT_EQ(item->systemTrayIcon()->contextMenu(), nullptr);
}

TEST(TrayItemTest, AddingTwiceKeepsOneAndRemovingReleasesThePlatformItem) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "expected the offscreen platform";
    Application app;
    auto item = std::make_shared<RecordingTrayItem>();
    EXPECT_EQ(item->Handle(), 0);
    app.AddTrayItem(item); // no status area: nothing shows, and nothing fails
    EXPECT_FALSE(item->systemTrayIcon()->isVisible());
    const std::intptr_t handle = item->Handle();
    EXPECT_NE(handle, 0);
    app.AddTrayItem(item);
    EXPECT_EQ(app.TrayItemCount(), 1);
    EXPECT_EQ(item->Handle(), handle);

    QPointer<QSystemTrayIcon> icon = item->systemTrayIcon();
    app.RemoveTrayItem(item);
    EXPECT_EQ(app.TrayItemCount(), 0);
    EXPECT_EQ(item->Handle(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(icon.isNull());

    app.RemoveTrayItem(item); // not held any more: nothing happens
    EXPECT_EQ(app.TrayItemCount(), 0);

    app.AddTrayItem(item); // a removed item can be shown again
    EXPECT_NE(item->Handle(), 0);
    activate(*item, QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(item->causes, (std::vector<std::int64_t>{102}));
}

// Quitting from the item's own menu removes the item while its gesture is being delivered.
TEST(TrayItemTest, AHandlerMayRemoveItsOwnItem) {
    Application app;
    auto item = std::make_shared<RecordingTrayItem>();
    std::weak_ptr<RecordingTrayItem> watched = item;
    item->onAction = [&](std::int64_t) { app.RemoveTrayItem(watched.lock()); };
    app.AddTrayItem(item);
    QSystemTrayIcon* icon = item->systemTrayIcon();
    item.reset(); // the application holds the only reference now
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(app.TrayItemCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(TrayItemTest, TooltipAndIconReachThePlatformItem) {
    Application app;
    auto item = std::make_shared<RecordingTrayItem>();
    item->Tooltip("before");
    app.AddTrayItem(item);
    QSystemTrayIcon* icon = item->systemTrayIcon();
    EXPECT_EQ(icon->toolTip().toStdString(), "before");
    item->Tooltip("after");
    EXPECT_EQ(icon->toolTip().toStdString(), "after");

    // Without a picture of its own the item still has one to show.
    EXPECT_EQ(item->Icon(), nullptr);
    EXPECT_FALSE(icon->icon().isNull());
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    item->Icon(PictureFromImage(red));
    const QImage shown = icon->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(shown.pixelColor(8, 8), QColor(Qt::red));
}

} // namespace
} // namespace fw
