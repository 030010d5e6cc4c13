// The status-bar item's handler against the real pop-up menu (answered by the framework's hook),
// the real windows and a registered application object.
#include "app/alarm_socket.h"
#include "app/ui/alarm_window.h"
#include "app/ui/app_tray_item.h"
#include "app/ui/name_prompt.h"
#include "framework/core/values.h"
#include "framework/gui/menu_item.h"
#include "framework/gui/sound.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "preferences/modern_preferences.h"
#include "tests/app/app_fixture.h"
#include "tests/support/wait.h"

#include <QApplication>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QWidget>

#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

using Offers = std::vector<std::vector<std::string>>;

const std::vector<std::string> kMenuTexts{"About", "Change Name", "Exit"};

// What the framework logs for an exception that escaped a handler; empty when none did.
std::string unhandled(const fw::DebugLogCapture& log) {
    for (const std::string& line : log.Lines()) {
        if (line.rfind("Unhandled", 0) == 0) {
            return line;
        }
    }
    return {};
}

// The open window of a class, when it shows.
std::shared_ptr<fw::Window> showing(const char* windowClass) {
    const auto window = fw::Window::_GetImplicitWindow(windowClass);
    const QMainWindow* widget = window ? fw::qtWindow(*window) : nullptr;
    return window && window->Visible() && widget && widget->isVisible() ? window : nullptr;
}

class AppTrayItemTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ModernPreferences::Initialise(fw::Text("Tallybell"));
        app->_x_SetVersionData(1, 0, 0, 36, 0, "Brackenmoor Ltd", "1", "");
        // An unconnected socket: the Close event closes it, and no packet leaves.
        app->Socket1 = std::make_shared<Socket>();
    }

    void TearDown() override {
        fw::CloseAllWindows();
        AppTest::TearDown();
    }

    // As the framework raises it: an exception from the handler is logged, not thrown here.
    void act(std::int64_t cause) {
        fw::RaiseEvent([&] { item->Event_Action(cause); });
    }

    bool nothingHappened() const {
        return boxes.Texts().empty() && fw::openWindows().empty() && !app->IsQuitting() &&
               unhandled(log).empty();
    }

    std::shared_ptr<AppTrayItem> item = std::make_shared<AppTrayItem>();
};

TEST_F(AppTrayItemTest, OnlyAContextClickOffersTheMenuAnewEachTimeAndDismissingDoesNothing) {
    fw::PopUpMenuAutoAnswer menu({"dismiss", "dismiss"});
    for (const std::int64_t cause : {100, 0, 999, -1, 103}) {
        act(cause);
    }
    EXPECT_TRUE(menu.Offered().empty());
    act(101);
    act(101);
    EXPECT_EQ(menu.Offered(), (Offers{kMenuTexts, kMenuTexts}));
    EXPECT_TRUE(nothingHappened());
}

TEST_F(AppTrayItemTest, AboutShowsTheNameAndVersionThenTheMaker) {
    fw::PopUpMenuAutoAnswer menu({"About"});
    act(101);
    const std::string expected =
        "Tallybell 1 (1.0.0.36)" + fw::EndOfLine::Text().Bytes() + "Brackenmoor Ltd";
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{expected});
    EXPECT_TRUE(fw::openWindows().empty());
    EXPECT_FALSE(app->IsQuitting());
}

TEST_F(AppTrayItemTest, ChangeNameOpensTheNamePrompt) {
    fw::PopUpMenuAutoAnswer menu({"Change Name"});
    act(101);
    EXPECT_NE(showing("startup.startup"), nullptr);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(app->IsQuitting());
}

TEST_F(AppTrayItemTest, DoubleClickShowsTheAlarmWindowWithoutSoundingTheAlarm) {
    fw::SoundPlayRecorder horn;
    act(102);
    const auto window = fw::Cast<class Window1>(showing("Window1.Window1"));
    ASSERT_NE(window, nullptr);
    // The alarm would start the animation (or, with no horn here, fail and be logged).
    EXPECT_EQ(fw::Deref(window->animate()).RunMode(), fw::Timer::Off);
    EXPECT_EQ(window->frameCounter, 0);
    EXPECT_EQ(unhandled(log), "");
    EXPECT_TRUE(horn.Plays().empty());

    // Already showing: it is shown again, which brings it back in front of another window.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));
    act(102);
    EXPECT_EQ(fw::openWindows().size(), 1u) << "the same window, not a second one";
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == fw::qtWindow(*window); }));
    EXPECT_EQ(fw::Deref(window->animate()).RunMode(), fw::Timer::Off);
    EXPECT_EQ(unhandled(log), "");
}

TEST_F(AppTrayItemTest, TheCloseEventRemovesTheTrayItemOnlyWhenOneIsSet) {
    auto other = std::make_shared<fw::TrayItem>();
    app->AddTrayItem(other);
    app->Event_Close(); // Tray Nil
    EXPECT_EQ(app->TrayItemCount(), 1);
    EXPECT_NE(other->Handle(), 0);

    app->Tray = item;
    app->AddTrayItem(item);
    ASSERT_EQ(app->TrayItemCount(), 2);
    app->Event_Close();
    EXPECT_EQ(app->TrayItemCount(), 1);
    EXPECT_EQ(item->Handle(), 0);
    EXPECT_NE(other->Handle(), 0);
    EXPECT_EQ(systemLog.Entries().size(), 2u);
}

// Quitting leaves Qt's event loop set to end, so this comes last.
TEST_F(AppTrayItemTest, ExitFromTheItemsMenuClosesTheApplicationAndQuits) {
    app->Tray = item;
    app->AddTrayItem(item);
    fw::PopUpMenuAutoAnswer menu({"Exit"});
    // Delivered as the platform delivers a context click, so the item removes itself mid-gesture.
    QSystemTrayIcon* icon = item->systemTrayIcon();
    ASSERT_NE(icon, nullptr);
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(menu.Offered(), Offers{kMenuTexts});
    EXPECT_TRUE(app->IsQuitting());
    EXPECT_EQ(app->TrayItemCount(), 0);
    EXPECT_EQ(item->Handle(), 0);
    EXPECT_EQ(unhandled(log), "");
    ASSERT_EQ(systemLog.Entries().size(), 1u);
    EXPECT_EQ(systemLog.Entries()[0].second, "Alarm Closed");
}

} // namespace
} // namespace tallybell::testing
