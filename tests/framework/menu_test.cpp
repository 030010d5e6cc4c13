#include "framework/core/debug_log.h"
#include "framework/gui/application.h"
#include "framework/gui/menu_bar.h"
#include "framework/gui/menu_item.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/runtime.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace fw {
namespace {

std::shared_ptr<MenuItem> item(const String& name, const String& text,
                               const String& shortcut = "") {
    auto made = std::make_shared<MenuItem>();
    made->Name(name);
    made->Value(text);
    made->Shortcut(shortcut);
    return made;
}

// File (Open, Recent > Last, -, Quit) and Edit (the conventional Edit items).
std::shared_ptr<MenuBar> sampleBar() {
    auto bar = std::make_shared<MenuBar>();
    auto file = item("FileMenu", "&File");
    file->AddMenu(item("FileOpen", "&Open", "Cmd+O"));
    auto recent = item("FileRecent", "Recent");
    recent->AddMenu(item("FileRecentLast", "Last"));
    file->AddMenu(recent);
    file->AddMenu(item("FileSeparator", "-"));
    auto quit = std::make_shared<QuitMenuItem>();
    quit->Name("FileQuit");
    quit->Value("&Quit");
    quit->Shortcut("Cmd+Q");
    file->AddMenu(quit);
    bar->AddMenu(file);
    auto edit = item("EditMenu", "&Edit");
    for (const char* name :
         {"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear", "EditSelectAll"}) {
        edit->AddMenu(item(name, name));
    }
    bar->AddMenu(edit);
    return bar;
}

class RecordingApp : public Application {
public:
    void Event_Close() override { ++closes; }
    int closes = 0;
};

// An application registered with the runtime for the test's length.
struct RegisteredApp {
    RegisteredApp() { _RuntimeRegisterAppObject(app); }
    ~RegisteredApp() { _RuntimeRegisterAppObject(nullptr); }
    std::shared_ptr<RecordingApp> app = std::make_shared<RecordingApp>();
};

TEST(MenuTree, ChildrenKeepTheirOrderAndAreFoundByNameAtTheRightDepth) {
    auto bar = sampleBar();
    ASSERT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->Item(0)->Text(), String("&File"));
    EXPECT_EQ(bar->Item(1)->Name(), String("EditMenu"));
    EXPECT_EQ(bar->Child("FileMenu"), bar->Item(0));
    EXPECT_EQ(bar->Child("FileOpen"), nullptr) << "Child looks one level down only";
    EXPECT_EQ(bar->_Lookup("FileRecentLast")->Text(), String("Last"));
    EXPECT_EQ(bar->_Lookup("FileQuit"), bar->Item(0)->Item(3));
    EXPECT_EQ(bar->_Lookup("Nothing"), nullptr);
    EXPECT_TRUE(bar->_Lookup("FileSeparator")->IsSeparator());
    EXPECT_THROW(bar->Item(2), OutOfBoundsException);
    EXPECT_THROW(bar->Item(-1), OutOfBoundsException);
}

TEST(MenuTree, NilAndCyclesAreRefused) {
    auto bar = sampleBar();
    EXPECT_THROW(bar->AddMenu(nullptr), NilObjectException);
    auto file = bar->Child("FileMenu");
    EXPECT_THROW(file->AddMenu(file), InvalidArgumentException);
    EXPECT_THROW(file->Child("FileRecent")->AddMenu(bar), InvalidArgumentException);
    EXPECT_EQ(bar->Count(), 2);
}

TEST(MenuTree, ItemsAreForTheMainThreadOnly) {
    auto bar = std::make_shared<MenuBar>();
    bool refused = false;
    std::thread other([&] {
        try {
            bar->AddMenu(std::make_shared<MenuItem>());
        } catch (const ThreadAccessingUIException&) {
            refused = true;
        }
    });
    other.join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(bar->Count(), 0);
}

TEST(Shortcuts, CmdIsQtsControlAndUnreadableTextGivesNone) {
    EXPECT_EQ(ShortcutKeys("Cmd+Q"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(ShortcutKeys("Cmd+?"), QKeySequence(Qt::CTRL | Qt::Key_Question));
    EXPECT_EQ(ShortcutKeys("Cmd++"), QKeySequence(Qt::CTRL | Qt::Key_Plus));
    EXPECT_EQ(ShortcutKeys("Shift+Cmd+Z"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    EXPECT_TRUE(ShortcutKeys("").isEmpty());
    EXPECT_TRUE(ShortcutKeys("Hyper+Q").isEmpty());
    EXPECT_TRUE(ShortcutKeys("Cmd+").isEmpty());
}

TEST(InstalledMenuBar, QtMenusMirrorTheModel) {
    QMainWindow window;
    InstallMenuBar(&window, sampleBar());
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Edit");

    const QList<QAction*> file = menus[0]->menu()->actions();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0]->text(), "&Open");
    ASSERT_TRUE(file[1]->menu());
    EXPECT_EQ(file[1]->menu()->actions().value(0)->text(), "Last");
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_EQ(file[3]->menuRole(), QAction::QuitRole);
    EXPECT_EQ(file[0]->menuRole(), QAction::NoRole);
    EXPECT_EQ(MenuBarAction(&window, "FileQuit"), file[3]);
    EXPECT_EQ(MenuBarAction(&window, "FileMenu"), menus[0]);
    EXPECT_EQ(MenuBarAction(&window, "Nothing"), nullptr);
}

TEST(InstalledMenuBar, ReinstallingReplacesTheBarAndNilRemovesIt) {
    QMainWindow window;
    InstallMenuBar(&window, sampleBar());
    auto other = std::make_shared<MenuBar>();
    other->AddMenu(item("HelpMenu", "&Help"));
    InstallMenuBar(&window, other);
    EXPECT_EQ(MenuBarAction(&window, "FileMenu"), nullptr);
    ASSERT_NE(MenuBarAction(&window, "HelpMenu"), nullptr);
    InstallMenuBar(&window, nullptr);
    EXPECT_EQ(MenuBarAction(&window, "HelpMenu"), nullptr);
}

TEST(ChoosingAnItem, ItsActionOrShortcutKeyRunsTheApplicationsHandlerForItsName) {
    RegisteredApp registered;
    int opened = 0;
    int recent = 0;
    registered.app->_AddMenuHandler("FileOpen", [&] { return ++opened > 0; });
    registered.app->_AddMenuHandler("FileRecentLast", [&] { return ++recent > 0; });
    QMainWindow window;
    InstallMenuBar(&window, sampleBar());

    MenuBarAction(&window, "FileOpen")->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(recent, 0);
    MenuBarAction(&window, "FileRecentLast")->trigger();
    EXPECT_EQ(recent, 1);

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened, 2);
}

TEST(ChoosingAnItem, AFailingHandlerIsReportedAndTheMenuGoesOn) {
    RegisteredApp registered;
    registered.app->_AddMenuHandler("FileOpen", []() -> bool { throw NilObjectException(); });
    QMainWindow window;
    InstallMenuBar(&window, sampleBar());
    DebugLogCapture log;
    EXPECT_NO_THROW(MenuBarAction(&window, "FileOpen")->trigger());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("NilObjectException"), std::string::npos);
}

TEST(ChoosingAnItem, TheQuitItemQuitsOnceWithoutAnyHandler) {
    RegisteredApp registered;
    bool handlerRan = false;
    registered.app->_AddMenuHandler("FileQuit", [&] { return handlerRan = true; });
    QMainWindow window;
    InstallMenuBar(&window, sampleBar());

    MenuBarAction(&window, "FileQuit")->trigger();
    MenuBarAction(&window, "FileQuit")->trigger();
    EXPECT_EQ(registered.app->closes, 1);
    EXPECT_TRUE(registered.app->IsQuitting());
    EXPECT_FALSE(handlerRan) << "the quit item's own action comes first";
}

class EditItems : public ::testing::Test {
protected:
    void SetUp() override {
        window.setCentralWidget(field);
        InstallMenuBar(&window, sampleBar());
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }));
    }

    bool enabled(const char* name) { return MenuBarAction(&window, name)->isEnabled(); }
    void choose(const char* name) { MenuBarAction(&window, name)->trigger(); }

    QMainWindow window;
    QLineEdit* field = new QLineEdit; // owned by the window
};

TEST_F(EditItems, FollowTheFocusedFieldsSelectionAndText) {
    EXPECT_FALSE(enabled("EditSelectAll")) << "nothing to select";
    EXPECT_FALSE(enabled("EditCopy"));
    field->setText("alarm");
    EXPECT_TRUE(enabled("EditSelectAll"));
    EXPECT_FALSE(enabled("EditCut"));
    field->setSelection(0, 2);
    EXPECT_TRUE(enabled("EditCut"));
    EXPECT_TRUE(enabled("EditCopy"));
    EXPECT_TRUE(enabled("EditClear"));
    EXPECT_TRUE(enabled("FileOpen")) << "other items stay enabled";

    field->setReadOnly(true);
    window.menuBar()->actions()[1]->menu()->aboutToShow(); // as when the menu opens
    EXPECT_FALSE(enabled("EditCut"));
    EXPECT_TRUE(enabled("EditCopy"));

    field->setReadOnly(false);
    field->setEchoMode(QLineEdit::Password); // gives nothing away
    field->selectAll();
    EXPECT_FALSE(enabled("EditCopy"));
    EXPECT_FALSE(enabled("EditCut"));
    EXPECT_TRUE(enabled("EditClear"));

    field->clearFocus();
    EXPECT_FALSE(enabled("EditCopy")) << "no text field has the focus";
}

TEST_F(EditItems, ActOnTheFocusedField) {
    field->setText("alarm bell");
    choose("EditSelectAll");
    EXPECT_EQ(field->selectedText(), "alarm bell");

    field->setSelection(0, 6);
    choose("EditCut");
    EXPECT_EQ(field->text(), "bell");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "alarm ");
    EXPECT_TRUE(enabled("EditPaste"));

    field->setCursorPosition(4);
    choose("EditPaste");
    EXPECT_EQ(field->text(), "bellalarm ");

    choose("EditUndo");
    EXPECT_EQ(field->text(), "bell");

    field->setSelection(1, 2);
    choose("EditCopy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "el");
    choose("EditClear");
    EXPECT_EQ(field->text(), "bl");
    choose("EditClear"); // nothing selected now: deletes nothing
    EXPECT_EQ(field->text(), "bl");
}

TEST(PopUpMenus, AnswerByTextRecordsWhatWasOfferedAndDismissGivesNil) {
    MenuItem root;
    root.AddMenu(std::make_shared<MenuItem>("About", Auto()));
    root.AddMenu(std::make_shared<MenuItem>("-", Auto()));
    auto more = std::make_shared<MenuItem>("More", Auto());
    more->AddMenu(std::make_shared<MenuItem>("Exit", Auto(std::int64_t{7})));
    root.AddMenu(more);
    auto hidden = std::make_shared<MenuItem>("Hidden", Auto());
    hidden->Visible(false);
    root.AddMenu(hidden);

    PopUpMenuAutoAnswer answers({"Exit", "dismiss", "Hidden", "More", "Nowhere"});
    const auto exit = root.PopUp();
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->Text(), String("Exit"));
    EXPECT_EQ(exit->Tag(), Auto(std::int64_t{7}));
    EXPECT_EQ(root.PopUp(), nullptr);
    EXPECT_EQ(root.PopUp(), nullptr) << "a hidden item cannot be chosen";
    EXPECT_EQ(root.PopUp(), nullptr) << "a submenu is not a choice";
    EXPECT_EQ(root.PopUp(), nullptr);
    EXPECT_EQ(root.PopUp(10, 10), nullptr) << "no answers left: dismissed";

    ASSERT_EQ(answers.Offered().size(), 6u);
    EXPECT_EQ(answers.Offered()[0], (std::vector<std::string>{"About", "-", "More", "Exit"}));
}

TEST(PopUpMenus, ARealMenuReturnsTheClickedItem) {
    MenuItem root;
    root.AddMenu(std::make_shared<MenuItem>("About", Auto()));
    root.AddMenu(std::make_shared<MenuItem>("Change Name", Auto()));
    // Chooses the second entry of the menu once it is up, as a user would with the keyboard.
    QTimer::singleShot(0, [] {
        const auto popup = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
        if (!QTest::qWaitFor([&] { return popup() != nullptr; })) {
            return; // nothing to click: the test fails on its time limit
        }
        QTest::keyClick(popup(), Qt::Key_Down);
        QTest::keyClick(popup(), Qt::Key_Down);
        QTest::keyClick(popup(), Qt::Key_Return);
    });
    const auto chosen = root.PopUp(20, 20);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Text(), String("Change Name"));
}

} // namespace
} // namespace fw
