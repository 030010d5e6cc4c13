#include "framework/core/timer.h"
#include "framework/gui/message_box.h"
#include "tests/support/wait.h"

#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

using tallybell::testing::WaitFor;

QMessageBox* shownBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// A group's text or a file's name is shown as written, never as markup; and the box holds up
// neither its caller nor any other window while it waits for the user.
TEST(MessageBoxTest, ShowsPlainTextAndStaysOpenWithoutBlockingAnything) {
    MessageBoxLeftOpen boxes;
    const std::string text = "Could not join multicast group! <b>x</b>\nIs Tallybell running?";
    MsgBox(text);
    const QMessageBox* box = shownBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text().toStdString(), text);
    EXPECT_EQ(box->windowTitle(), QString("Tallybell"));
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(boxes.OpenTexts(), std::vector<std::string>{text});
    boxes.DismissAll();
    EXPECT_TRUE(boxes.OpenTexts().empty());
    EXPECT_TRUE(WaitFor([] { return shownBox() == nullptr; }));
}

// The innermost hook decides: a test can leave a box open under a fixture that answers them.
TEST(MessageBoxTest, TheLatestHookDecidesWhetherABoxIsAnsweredOrLeftOpen) {
    MessageBoxAutoAnswer outer;
    {
        MessageBoxLeftOpen open;
        MsgBox("left open");
        {
            MessageBoxAutoAnswer inner;
            EXPECT_EQ(MessageBox("answered"), 1);
            EXPECT_EQ(inner.Texts(), std::vector<std::string>{"answered"});
        }
        EXPECT_EQ(open.OpenTexts(), std::vector<std::string>{"left open"});
    }
    EXPECT_TRUE(outer.Texts().empty());
}

// Qt runs no timer again while its earlier activation is still running: a box that waited in a
// loop of its own would stop the timer that opened it (the watchdog) until someone answered.
TEST(MessageBoxTest, ATimerThatOpensABoxKeepsFiring) {
    MessageBoxLeftOpen boxes;
    auto timer = std::make_shared<Timer>();
    timer->BindAction([](Timer& self) {
        if (self.FireCount() == 1) {
            MsgBox("Could not join multicast group!");
        }
    });
    timer->Period(5);
    timer->RunMode(Timer::Multiple);
    EXPECT_TRUE(WaitFor([&] { return timer->FireCount() >= 3; }));
    EXPECT_EQ(boxes.OpenTexts(), std::vector<std::string>{"Could not join multicast group!"});
    timer->RunMode(Timer::Off);
}

} // namespace
} // namespace fw
