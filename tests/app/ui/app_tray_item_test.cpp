// The status-bar item's handler against the real pop-up menu (answered by the framework's hook),
// the real windows and a registered application object.
#include "app/alarm_socket.h"
#include "app/app.h"
#include "app/ui/alarm_window.h"
#include "app/ui/app_tray_item.h"
#include "app/ui/name_prompt.h"
#include "framework/debug_log.h"
#include "framework/menu_item.h"
#include "framework/message_box.h"
#include "framework/runtime.h"
#include "framework/sound.h"
#include "framework/values.h"
#include "framework/window.h"
#include "framework/window_list.h"
#include "framework/window_qt.h"
#include "preferences/modern_preferences.h"
#include "tests/support/wait.h"

#include <QApplication>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace tallybell {
namespace {

using tallybell::testing::WaitFor;
using Offers = std::vector<std::vector<std::string>>;

const std::vector<std::string> kMenuTexts{"About", "Change Name", "Exit"};

class TestApp : public App {
public:
    void Event_Close() override {
        ++closes;
        App::Event_Close();
    }
    int closes = 0;
};

template <class T> std::vector<std::shared_ptr<T>> openWindowsOf() {
    std::vector<std::shared_ptr<T>> found;
    for (const auto& window : fw::_OpenWindows()) {
        if (auto typed = std::dynamic_pointer_cast<T>(window)) {
            found.push_back(typed);
        }
    }
    return found;
}

// What the framework logs for an exception that escaped a handler; empty when none did.
std::string unhandled(const fw::DebugLogCapture& log) {
    for (const std::string& line : log.Lines()) {
        if (line.rfind("Unhandled", 0) == 0) {
            return line;
        }
    }
    return {};
}

bool showing(const fw::Window& window) {
    const QMainWindow* widget = fw::_QtWindow(window);
    return window.Visible() && widget && widget->isVisible();
}

class AppTrayItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
        ModernPreferences::Initialise(fw::Text("Tallybell"));
        app = std::make_shared<TestApp>();
        app->_x_SetVersionData(1, 0, 0, 36, 0, "Brackenmoor Ltd", "1", "");
        // An unconnected socket: the Close event closes it, and no packet leaves.
        app->Socket1 = std::make_shared<Socket>();
        fw::_RuntimeRegisterAppObject(app);
        item = std::make_shared<AppTrayItem>();
    }

    void TearDown() override {
        fw::CloseAllWindows();
        fw::_RuntimeRegisterAppObject(nullptr);
    }

    // As the framework raises it: an exception from the handler is logged, not thrown here.
    void act(std::int64_t cause) {
        fw::RaiseEvent([&] { item->Event_Action(cause); });
    }

    bool nothingHappened() const {
        return boxes.Texts().empty() && fw::_OpenWindows().empty() && !app->IsQuitting() &&
               unhandled(log).empty();
    }

    QTemporaryDir config;
    fw::DebugLogCapture log;
    fw::SystemLogCapture systemLog;
    fw::MessageBoxAutoAnswer boxes;
    std::shared_ptr<TestApp> app;
    std::shared_ptr<AppTrayItem> item;
};

TEST_F(AppTrayItemTest, TheMenuOffersItsThreeItemsAnewEachTimeAndDismissingDoesNothing) {
    fw::PopUpMenuAutoAnswer menu({"dismiss", "dismiss"});
    act(101);
    act(101);
    EXPECT_EQ(menu.Offered(), (Offers{kMenuTexts, kMenuTexts}));
    EXPECT_TRUE(nothingHappened());
}

TEST_F(AppTrayItemTest, CausesOtherThanContextAndDoubleClickDoNothing) {
    fw::PopUpMenuAutoAnswer menu({"About"});
    for (const std::int64_t cause : {100, 0, 999, -1, 103}) {
        act(cause);
    }
    EXPECT_TRUE(menu.Offered().empty());
    EXPECT_TRUE(nothingHappened());
}

TEST_F(AppTrayItemTest, AboutShowsTheNameAndVersionThenTheMaker) {
    fw::PopUpMenuAutoAnswer menu({"About"});
    act(101);
    const std::string expected =
        "Tallybell 1 (1.0.0.36)" + fw::EndOfLine::Text().Bytes() + "Brackenmoor Ltd";
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{expected});
    EXPECT_TRUE(fw::_OpenWindows().empty());
    EXPECT_FALSE(app->IsQuitting());
}

TEST_F(AppTrayItemTest, ChangeNameOpensTheNamePrompt) {
    fw::PopUpMenuAutoAnswer menu({"Change Name"});
    act(101);
    const auto prompts = openWindowsOf<class startup>();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_TRUE(showing(*prompts[0]));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(app->IsQuitting());
}

TEST_F(AppTrayItemTest, DoubleClickShowsTheAlarmWindowWithoutSoundingTheAlarm) {
    fw::SoundPlayRecorder horn;
    act(102);
    const auto windows = openWindowsOf<class Window1>();
    ASSERT_EQ(windows.size(), 1u);
    const std::shared_ptr<class Window1> window = windows[0];
    EXPECT_TRUE(showing(*window));
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
    EXPECT_EQ(openWindowsOf<class Window1>(), windows) << "the same window, not a second one";
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == fw::_QtWindow(*window); }));
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
    QSystemTrayIcon* icon = item->_SystemTrayIcon();
    ASSERT_NE(icon, nullptr);
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(menu.Offered(), Offers{kMenuTexts});
    EXPECT_TRUE(app->IsQuitting());
    EXPECT_EQ(app->closes, 1);
    EXPECT_EQ(app->TrayItemCount(), 0);
    EXPECT_EQ(item->Handle(), 0);
    EXPECT_EQ(unhandled(log), "");
    ASSERT_EQ(systemLog.Entries().size(), 1u);
    EXPECT_EQ(systemLog.Entries()[0].second, "Alarm Closed");
}

} // namespace
} // namespace tallybell
