// The application's menus as start-up wires them: items reach the App handlers by name, About
// goes through the object runtime, Quit runs the Close event and ends the loop.

#include "app/startup_sequence.h"
#include "app/ui/main_menu_bar.h"
#include "app_fixture.h"
#include "framework/about_panel.h"
#include "framework/menu_qt.h"
#include "platform/stand_in_runtime.h"

#include <QAction>
#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>

namespace tallybell::testing {
namespace {

class MenuWiring : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        app->MenuBar(MainMenuBar());
        _ApplicationAddMenuHandlers();
        fw::InstallMenuBar(&window, app->MenuBar());
    }

    void choose(const char* itemName) {
        QAction* action = fw::MenuBarAction(&window, itemName);
        ASSERT_NE(action, nullptr) << itemName;
        action->trigger();
    }

    QMainWindow window;
};

TEST_F(MenuWiring, AboutAsksTheSharedApplicationForItsStandardPanel) {
    platform::standin::ClearJournal();
    choose("FileAbout");

    std::vector<std::string> messages;
    for (const auto& record : platform::standin::Messages()) {
        messages.push_back(platform::standin::Describe(record));
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("sharedApplication"), std::string::npos);
    EXPECT_NE(messages[1].find("orderFrontStandardAboutPanel:"), std::string::npos);
    EXPECT_TRUE(fw::IsAboutPanelVisible());

    const auto& journal = platform::standin::Journal();
    std::vector<std::string> lookups;
    for (const auto& record : journal) {
        if (record.kind != platform::standin::Record::Kind::Message) {
            lookups.push_back(record.name);
        }
    }
    EXPECT_EQ(lookups, (std::vector<std::string>{
                           "orderFrontStandardAboutPanel:", "sharedApplication", "NSApplication"}));
    fw::CloseAboutPanel();
}

TEST_F(MenuWiring, AboutAndChangeNameChangeNoFieldOfTheApplication) {
    open();
    const auto socket = app->Socket1;
    const auto watchdog = app->watchdog;
    const fw::String name = app->myName;
    EXPECT_TRUE(app->_FileAbout_Action());
    EXPECT_TRUE(app->_FileChangeName_Action());
    EXPECT_EQ(app->Socket1, socket);
    EXPECT_EQ(app->watchdog, watchdog);
    EXPECT_EQ(app->myName, name);
    fw::CloseAboutPanel();
}

TEST_F(MenuWiring, QuitClosesTheSocketLogsOnceAndEndsTheEventLoop) {
    open();
    QEventLoop loop;
    int loopResult = -1;
    QTimer::singleShot(0, [&] { choose("FileQuit"); });
    QTimer::singleShot(5000, [&] { loop.exit(99); });
    loopResult = loop.exec();

    EXPECT_EQ(loopResult, 0) << "the quit item must end the event loop";
    EXPECT_FALSE(app->Socket1->IsConnected());
    ASSERT_EQ(systemLog.Entries().size(), 1u);
    EXPECT_EQ(systemLog.Entries()[0].second, "Alarm Closed");
}

} // namespace
} // namespace tallybell::testing
