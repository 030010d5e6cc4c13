#include "framework/gui/about_panel.h"
#include "framework/gui/application.h"
#include "framework/gui/runtime.h"
#include "platform/object_runtime.h"
#include "platform/stand_in_runtime.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace platform {
namespace {

class StandInRuntime : public ::testing::Test {
protected:
    void SetUp() override { standin::ClearJournal(); }

    static id send(id receiver, const char* selector) {
        return objc_msgSend(receiver, sel_registerName(selector));
    }
    static id processInfo() { return send(NSClassFromString("NSProcessInfo"), "processInfo"); }
};

TEST_F(StandInRuntime, ClassesAndSelectorsAreStableAndWhatItDoesNotKnowGivesNil) {
    EXPECT_EQ(NSClassFromString("NSNotAClass"), nullptr);
    EXPECT_EQ(NSClassFromString(nullptr), nullptr);
    EXPECT_EQ(NSClassFromString("NSApplication"), NSClassFromString("NSApplication"));
    EXPECT_NE(NSClassFromString("NSApplication"), NSClassFromString("NSProcessInfo"));
    EXPECT_EQ(sel_registerName("retain"), sel_registerName("retain"));
    EXPECT_NE(sel_registerName("retain"), sel_registerName("release"));
    const id info = processInfo();
    EXPECT_EQ(processInfo(), info);
    const id string = NewSystemString("gone");
    ReleaseSystemString(string);
    standin::ClearJournal();

    EXPECT_EQ(send(info, "thermalState"), nullptr);
    EXPECT_EQ(send(nullptr, "retain"), nullptr);
    EXPECT_EQ(send(string, "retain"), nullptr);
    EXPECT_EQ(standin::RetainCount(string), 0);
    EXPECT_EQ(send(NSClassFromString("NSApplication"), "processInfo"), nullptr);

    const auto messages = standin::Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(standin::Describe(messages[0]), "-[NSProcessInfo thermalState]");
    EXPECT_EQ(standin::Describe(messages[1]), "-[nil retain]");
    EXPECT_TRUE(messages[2].toDeallocated);
    EXPECT_EQ(standin::Describe(messages[2]), "-[<deallocated NSString> retain]");
    EXPECT_EQ(standin::Describe(messages[3]), "+[NSApplication processInfo]");
}

// Beginning and ending activities is the keep-awake holder's road; this is what it never does.
TEST_F(StandInRuntime, EndingAnActivityTwiceDropsNoReferenceAndEndsNoOther) {
    const id info = processInfo();
    const SEL begin = sel_registerName("beginActivityWithOptions:reason:");
    const id reason = NewSystemString("testing");
    const id first = objc_msgSend(info, begin, 0xEFFFFFu, reason);
    const id second = objc_msgSend(info, begin, 0xFFu, reason);
    ReleaseSystemString(reason);
    ASSERT_NE(first, second);
    for (int ended = 0; ended < 2; ++ended) {
        objc_msgSend(info, sel_registerName("endActivity:"), first);
        EXPECT_EQ(standin::RetainCount(first), 0);
    }
    const auto& activities = standin::Activities();
    EXPECT_TRUE(activities[activities.size() - 2].ended);
    EXPECT_FALSE(activities.back().ended);
    EXPECT_EQ(standin::RetainCount(second), 1);
    objc_msgSend(info, sel_registerName("endActivity:"), second);
}

class StandInAboutPanel : public StandInRuntime {
protected:
    void TearDown() override { fw::CloseAboutPanel(); }

    static void orderFrontAboutPanel() {
        const id app = send(NSClassFromString("NSApplication"), "sharedApplication");
        objc_msgSend(app, sel_registerName("orderFrontStandardAboutPanel:"), nullptr);
    }

    static std::vector<QWidget*> panels() {
        std::vector<QWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "AboutPanel" && widget->isVisible()) {
                found.push_back(widget);
            }
        }
        return found;
    }
};

TEST_F(StandInAboutPanel, ShowsNameAndVersionWithoutBlockingAndAgainBringsTheSamePanelForward) {
    auto app = std::make_shared<fw::Application>();
    app->_x_SetVersionData(1, 0, 0, 36, 0, "Brackenmoor Ltd", "1", "");
    fw::_RuntimeRegisterAppObject(app);
    orderFrontAboutPanel(); // returns at once: the panel is not modal
    ASSERT_TRUE(fw::IsAboutPanelVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(fw::AboutPanelTitle(), "About Tallybell");
    const std::vector<std::string> expected{"Tallybell", "Version 1 (1.0.0.36)", "Brackenmoor Ltd"};
    EXPECT_EQ(fw::AboutPanelLines(), expected);
    const auto shown = panels();
    ASSERT_EQ(shown.size(), 1u);
    // Window managers do not widen a window for its title: the panel leaves room for it, bold,
    // beside a title bar's buttons.
    QFont titleFont = shown[0]->font();
    titleFont.setBold(true);
    EXPECT_GT(shown[0]->width(),
              QFontMetrics(titleFont).horizontalAdvance("About Tallybell") + 100);

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    orderFrontAboutPanel();
    EXPECT_EQ(panels(), shown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == shown[0]; }, 2000));

    fw::CloseAboutPanel();
    EXPECT_FALSE(fw::IsAboutPanelVisible());
    EXPECT_TRUE(panels().empty());
    EXPECT_TRUE(fw::AboutPanelLines().empty());
    orderFrontAboutPanel(); // closed, then asked for again: shown again, still only one
    EXPECT_TRUE(fw::IsAboutPanelVisible());
    EXPECT_EQ(panels().size(), 1u);
    fw::_RuntimeRegisterAppObject(nullptr);
}

} // namespace
} // namespace platform
