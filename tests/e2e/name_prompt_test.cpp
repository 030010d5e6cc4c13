// The name prompt end to end: the first start without preferences asks for the name while the
// application already answers alarms; the name typed is saved, sent, and still known after a
// restart, which no longer asks.
#include "tests/e2e/desktop_session.h"
#include "tests/support/wait.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <gtest/gtest.h>

#include <string>

namespace tallybell {
namespace {

using testing::RunningProcess;
using testing::ToolResult;
using testing::WaitFor;

constexpr const char* kPromptTitle = "Your Name";
// Blanks at both ends and a comma: all of it is the name, sent as typed.
constexpr const char* kTypedName = " Ann Lee, Ward 4 ";
constexpr const char* kAckFromA = "from 198.18.0.1: ACK,";
// How long a prompt that should not come is looked for after the group is joined, when start-up
// would long have shown it.
constexpr int kNoPromptObservationMs = 1500;

class NamePromptEndToEnd : public testing::DesktopSession {
protected:
    /// Gives the prompt the keyboard, types text into its field and presses Return.
    void typeIntoPrompt(const QString& prompt, const QString& text) {
        const ToolResult focused = x({"xdotool", "windowfocus", "--sync", prompt});
        ASSERT_EQ(focused.exitCode, 0) << focused.errors.constData();
        const ToolResult typed = x({"xdotool", "type", "--", text});
        ASSERT_EQ(typed.exitCode, 0) << typed.errors.constData();
        const ToolResult entered = x({"xdotool", "key", "Return"});
        ASSERT_EQ(entered.exitCode, 0) << entered.errors.constData();
    }

    bool promptShows() { return !windowsTitled(kPromptTitle).isEmpty(); }

    /// The preferences file holds name under alarmName, beside the defaults it started with.
    void expectStoredName(const QString& name) {
        QFile file(prefsPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.errorString());
        const QByteArray text = file.readAll();
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(text, &error);
        ASSERT_TRUE(document.isObject()) << qPrintable(error.errorString()) << ": " << text.data();
        const QJsonObject prefs = document.object();
        EXPECT_EQ(prefs.value("alarmName").toString().toStdString(), name.toStdString());
        EXPECT_EQ(prefs.value("port").toString().toStdString(), testing::kDefaultPortText);
        EXPECT_EQ(prefs.value("mCastIP").toString().toStdString(), kDefaultGroup);
        EXPECT_EQ(prefs.size(), 3) << text.data();
    }
};

TEST_F(NamePromptEndToEnd, FirstStartAsksForTheNameWhileAnsweringAlarmsAndKeepsItAfterARestart) {
    ASSERT_FALSE(QFile::exists(prefsPath()));
    RunningProcess& app = startJoinedApp();
    const QString prompt = waitForWindowTitled(kPromptTitle);
    ASSERT_FALSE(prompt.isEmpty()) << qPrintable(app.Errors());
    EXPECT_FALSE(app.Lines().contains("Preferences loaded"));

    // Start-up did not wait for the prompt: an alarm is answered, with no name yet.
    EXPECT_EQ(acknowledgeAlarm().toStdString(), std::string(kAckFromA) + "\n");
    EXPECT_TRUE(promptShows()) << "the acknowledgement closed the prompt";

    ASSERT_NO_FATAL_FAILURE(typeIntoPrompt(prompt, kTypedName));
    EXPECT_TRUE(WaitFor([&] { return !promptShows(); })) << "Return did not close the prompt";
    ASSERT_TRUE(app.WaitForLine("Preferences saved")) << qPrintable(app.Errors());
    expectStoredName(kTypedName);
    const std::string named = std::string(kAckFromA) + kTypedName + "\n";
    EXPECT_EQ(acknowledgeAlarm().toStdString(), named);

    stopApp(app);
    RunningProcess& restarted = startJoinedApp();
    EXPECT_TRUE(restarted.Lines().contains("Preferences loaded")) << qPrintable(restarted.Errors());
    EXPECT_FALSE(WaitFor([&] { return promptShows(); }, kNoPromptObservationMs))
        << "the prompt came again though a name is stored";
    EXPECT_EQ(acknowledgeAlarm().toStdString(), named);
}

} // namespace
} // namespace tallybell
