// The application's menu bar: its tree and shortcuts as Qt reads them back, a failure while
// building it, and its items as start-up wires them: About through the object runtime, Change
// Name to the prompt, Quit through the Close event to the end of the event loop.
#include "app/startup_sequence.h"
#include "app/ui/main_menu_bar.h"
#include "app_fixture.h"
#include "framework/gui/about_panel.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "platform/stand_in_runtime.h"

#include <QAction>
#include <QEventLoop>
#include <QKeySequence>
#include <QMainWindow>
#include <QTimer>

#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

enum class Kind { Plain, Application, Quit };

struct Row {
    std::string name;
    std::string text;
    std::string qtShortcut; // as Qt reads it back
    Kind kind = Kind::Plain;
};

const std::vector<Row> fileRows = {
    {"FileAbout", "About", "Ctrl+?", Kind::Application},
    {"FileChangeName", "Change Name", "Ctrl+N"},
    {"FileQuit", "&Quit", "Ctrl+Q", Kind::Quit},
};

const std::vector<Row> editRows = {
    {"EditUndo", "&Undo", "Ctrl+Z"},   {"EditSeparator1", "-", ""},
    {"EditCut", "Cu&t", "Ctrl+X"},     {"EditCopy", "&Copy", "Ctrl+C"},
    {"EditPaste", "&Paste", "Ctrl+V"}, {"EditClear", "&Delete", ""},
    {"EditSeparator2", "-", ""},       {"EditSelectAll", "Select &All", "Ctrl+A"},
};

Kind kindOf(const std::shared_ptr<fw::MenuItem>& item) {
    if (std::dynamic_pointer_cast<fw::QuitMenuItem>(item)) {
        return Kind::Quit;
    }
    return std::dynamic_pointer_cast<fw::ApplicationMenuItem>(item) ? Kind::Application
                                                                    : Kind::Plain;
}

void expectMenu(const fw::MenuItem& menu, const std::vector<Row>& rows) {
    ASSERT_EQ(menu.Count(), static_cast<std::int64_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto item = menu.Item(static_cast<std::int64_t>(i));
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(item->Name(), fw::String(rows[i].name));
        EXPECT_EQ(item->Text(), fw::String(rows[i].text));
        EXPECT_EQ(kindOf(item), rows[i].kind);
        EXPECT_TRUE(item->AutoEnabled());
        EXPECT_TRUE(item->Visible());
        EXPECT_EQ(item->Count(), 0);
    }
}

TEST(MainMenuBarAccessor, AFailureWhileBuildingLeavesNoBarAndTheNextCallBuildsItOnce) {
    // Fail every construction in turn: the bar's own and each of its items'.
    for (int failing = 1; failing <= 14; ++failing) {
        SCOPED_TRACE(failing);
        fw::MenuItemConstructionHook fault([failing](int count) {
            if (count == failing) {
                throw fw::RuntimeException("injected");
            }
        });
        EXPECT_THROW(MainMenuBar(), fw::RuntimeException);
        EXPECT_EQ(MainMenuBar::_implicitInstance, nullptr);
    }
    fw::MenuItemConstructionHook made(nullptr);
    const auto bar = MainMenuBar();
    ASSERT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->Item(0)->Text(), fw::String("&File"));
    EXPECT_EQ(bar->Item(1)->Text(), fw::String("&Edit"));
    expectMenu(fw::Deref(bar->Child("FileMenu")), fileRows);
    expectMenu(fw::Deref(bar->Child("EditMenu")), editRows);
    EXPECT_EQ(MainMenuBar(), bar);
    EXPECT_EQ(MainMenuBar::_implicitInstance, bar);
    EXPECT_EQ(made.Constructed(), 14) << "the bar and its thirteen items, built once";
}

TEST(MainMenuBarInQt, EveryShortcutReadsBackFromTheQtActions) {
    QMainWindow window;
    fw::InstallMenuBar(&window, MainMenuBar());
    for (const auto* rows : {&fileRows, &editRows}) {
        for (const Row& row : *rows) {
            SCOPED_TRACE(row.name);
            QAction* action = fw::MenuBarAction(&window, row.name);
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText).toStdString(),
                      row.qtShortcut);
            EXPECT_EQ(action->isSeparator(), row.text == "-");
            if (!action->isSeparator()) {
                EXPECT_EQ(action->text().toStdString(), row.text);
            }
        }
    }
    EXPECT_TRUE(fw::MenuBarAction(&window, "FileMenu")->shortcut().isEmpty());
}

class MenuWiring : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        app->MenuBar(MainMenuBar());
        _ApplicationAddMenuHandlers();
        fw::InstallMenuBar(&window, app->MenuBar());
    }

    void TearDown() override {
        fw::CloseAboutPanel();
        fw::CloseAllWindows(); // a prompt left open commits into this test's folder
        AppTest::TearDown();
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
    std::vector<std::string> lookups;
    for (const auto& record : platform::standin::Journal()) {
        if (record.kind == platform::standin::Record::Kind::Message) {
            messages.push_back(platform::standin::Describe(record));
        } else {
            lookups.push_back(record.name);
        }
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("sharedApplication"), std::string::npos);
    EXPECT_NE(messages[1].find("orderFrontStandardAboutPanel:"), std::string::npos);
    EXPECT_EQ(lookups, (std::vector<std::string>{
                           "orderFrontStandardAboutPanel:", "sharedApplication", "NSApplication"}));
    EXPECT_TRUE(fw::IsAboutPanelVisible());
}

TEST_F(MenuWiring, ChangeNameOpensThePromptAndNeitherItemChangesTheApplication) {
    writePrefs(PrefsNamed("Ann"));
    open();
    const auto prompt = [] { return fw::Window::_GetImplicitWindow("startup.startup"); };
    ASSERT_EQ(prompt(), nullptr) << "a stored name opens no prompt";
    const auto socket = app->Socket1;
    const auto watchdog = app->watchdog;
    choose("FileAbout");
    choose("FileChangeName");
    EXPECT_NE(prompt(), nullptr);
    EXPECT_EQ(app->Socket1, socket);
    EXPECT_EQ(app->watchdog, watchdog);
    EXPECT_EQ(app->myName, fw::String("Ann"));
}

TEST_F(MenuWiring, QuitClosesTheSocketLogsOnceAndEndsTheEventLoop) {
    open();
    QEventLoop loop;
    QTimer::singleShot(0, [&] { choose("FileQuit"); });
    QTimer::singleShot(5000, [&] { loop.exit(99); });
    EXPECT_EQ(loop.exec(), 0) << "the quit item must end the event loop";
    EXPECT_FALSE(app->Socket1->IsBound());
    ASSERT_EQ(systemLog.Entries().size(), 1u);
    EXPECT_EQ(systemLog.Entries()[0], (std::pair<std::int64_t, std::string>{1005, "Alarm Closed"}));
}

} // namespace
} // namespace tallybell::testing
