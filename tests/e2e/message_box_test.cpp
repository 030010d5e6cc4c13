// A message box end to end: while "Could not save preferences." waits for its OK, an alarm still
// comes up and its button still sends the acknowledgement; quitting with the box open is clean.
#include "tests/e2e/desktop_session.h"
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace tallybell {
namespace {

using testing::RunningProcess;
using testing::ToolResult;
using testing::WaitFor;

class MessageBoxEndToEnd : public testing::DesktopSession {};

TEST_F(MessageBoxEndToEnd, WhileABoxWaitsForItsAnswerAnAlarmIsAcknowledged) {
    // A file where the preferences folder belongs: every save fails.
    ASSERT_TRUE(QDir().mkpath(configHome()));
    QFile blocker(configHome() + "/Tallybell");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)) << qPrintable(blocker.errorString());
    blocker.close();

    RunningProcess& app = startJoinedApp();
    const QString prompt = waitForWindowTitled("Your Name");
    ASSERT_FALSE(prompt.isEmpty()) << qPrintable(app.Errors());
    for (const QStringList& step :
         {QStringList{"xdotool", "windowfocus", "--sync", prompt},
          QStringList{"xdotool", "type", "--", "Ann"}, QStringList{"xdotool", "key", "Return"}}) {
        const ToolResult done = x(step);
        ASSERT_EQ(done.exitCode, 0) << done.errors.constData();
    }
    const QString box = waitForWindowTitled("Tallybell"); // the alarm window is still hidden
    ASSERT_FALSE(box.isEmpty()) << qPrintable(app.Errors());

    RunningProcess& peer = startPeer({"alarm", "--group", kDefaultGroup, "--port",
                                      testing::kDefaultPortText.c_str(), "--timeout-ms", "30000"});
    QString alarm;
    ASSERT_TRUE(WaitFor([&] {
        for (const QString& window : windowsTitled("Tallybell")) {
            if (window != box) {
                alarm = window;
            }
        }
        return !alarm.isEmpty();
    })) << "the alarm window did not come up";
    const ToolResult clicked = clickAlarmButton(alarm);
    EXPECT_EQ(clicked.exitCode, 0) << clicked.errors.constData();
    ASSERT_TRUE(peer.WaitForEnd(testing::kToolTimeoutMs)) << "no acknowledgement came";
    EXPECT_EQ(peer.Output().toStdString(), "from 198.18.0.1: ACK,Ann\n");
    EXPECT_TRUE(windowsTitled("Tallybell").contains(box)) << "the box is still waiting";
    stopApp(app);
}

} // namespace
} // namespace tallybell
