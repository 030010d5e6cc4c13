#include "app/ui/main_menu_bar.h"
#include "framework/application.h"
#include "framework/menu_qt.h"
#include "framework/runtime.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallybell {
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
    if (std::dynamic_pointer_cast<fw::ApplicationMenuItem>(item)) {
        return Kind::Application;
    }
    return Kind::Plain;
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

// The shape of a whole bar, whoever built it.
void expectWholeBar(const std::shared_ptr<class MainMenuBar>& bar) {
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->Item(0)->Text(), fw::String("&File"));
    EXPECT_EQ(bar->Item(1)->Text(), fw::String("&Edit"));
    expectMenu(fw::Deref(bar->Child("FileMenu")), fileRows);
    expectMenu(fw::Deref(bar->Child("EditMenu")), editRows);
}

class RecordingApp : public fw::Application {
public:
    void Event_Close() override { ++closes; }
    int closes = 0;
};

TEST(MainMenuBarAccessor, TwoCallsGiveTheSameBarBuiltOnce) {
    fw::MenuItemConstructionHook made(nullptr);
    const auto first = MainMenuBar();
    EXPECT_EQ(made.Constructed(), 14) << "the bar and its thirteen items";
    const auto second = MainMenuBar();
    EXPECT_EQ(second, first);
    EXPECT_EQ(MainMenuBar::_implicitInstance, first);
    EXPECT_EQ(made.Constructed(), 14);
}

TEST(MainMenuBarAccessor, HoldsFileThenEditWithEveryItemInPlace) {
    expectWholeBar(MainMenuBar());
    EXPECT_TRUE(MainMenuBar()->_Lookup("EditSeparator2")->IsSeparator());
    EXPECT_TRUE(MainMenuBar()->Child("FileMenu")->Shortcut().IsEmpty());
}

TEST(MainMenuBarAccessor, AFailureWhileBuildingLeavesNoBarAndTheNextCallBuildsAnew) {
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
    expectWholeBar(MainMenuBar());
    EXPECT_EQ(made.Constructed(), 14);
    EXPECT_NE(MainMenuBar::_implicitInstance, nullptr);
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

TEST(MainMenuBarInQt, ChoosingAnItemRunsTheHandlerBoundToItsNameAndQuitQuitsOnce) {
    auto app = std::make_shared<RecordingApp>();
    std::vector<std::string> chosen;
    app->_AddMenuHandler("FileAbout", [&] { return chosen.emplace_back("About"), true; });
    app->_AddMenuHandler("FileChangeName", [&] { return chosen.emplace_back("Name"), true; });
    fw::_RuntimeRegisterAppObject(app);
    QMainWindow window;
    fw::InstallMenuBar(&window, MainMenuBar());

    fw::MenuBarAction(&window, "FileChangeName")->trigger();
    fw::MenuBarAction(&window, "FileAbout")->trigger();
    EXPECT_EQ(chosen, (std::vector<std::string>{"Name", "About"}));
    EXPECT_EQ(app->closes, 0);

    fw::MenuBarAction(&window, "FileQuit")->trigger();
    fw::MenuBarAction(&window, "FileQuit")->trigger();
    EXPECT_EQ(app->closes, 1);
    fw::_RuntimeRegisterAppObject(nullptr);
}

TEST(MainMenuBarInQt, EditItemsActOnTheFocusedField) {
    QMainWindow window;
    auto* field = new QLineEdit("alarm bell"); // owned by the window
    window.setCentralWidget(field);
    fw::InstallMenuBar(&window, MainMenuBar());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }));

    fw::MenuBarAction(&window, "EditSelectAll")->trigger();
    EXPECT_EQ(field->selectedText(), "alarm bell");
    field->setSelection(0, 6);
    fw::MenuBarAction(&window, "EditClear")->trigger(); // "&Delete"
    EXPECT_EQ(field->text(), "bell");
    fw::MenuBarAction(&window, "EditUndo")->trigger();
    EXPECT_EQ(field->text(), "alarm bell");
}

} // namespace
} // namespace tallybell
