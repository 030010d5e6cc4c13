// What the end-to-end tests share: an X server of the test's own (Xvfb), two network hosts joined
// by a veth pair, the real executable in host A and the alarm test peer in host B, and the X tools
// that find, photograph and click windows as a user would see and click them.
#pragma once

#include "tests/support/alarm_defaults.h"
#include "tests/support/running_process.h"
#include "tests/support/two_hosts.h"

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tallybell::testing {

constexpr int kToolTimeoutMs = 10000;
/// The alarm window's content area height and its button's centre, relative to that area.
constexpr int kAlarmContentHeight = 400;
constexpr int kAlarmButtonCentreX = 300;
constexpr int kAlarmButtonCentreY = 334;

/// An X server of the test's own, in host A beside the application and the X tools, started by
/// the private launcher: its socket belongs to host A's namespace and its files to a mount
/// namespace of its own, so servers of tests and suites side by side never meet.
class Display {
public:
    Display() = default;
    ~Display() { Stop(); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool Start(const TwoHosts& hosts);
    void Stop();
    const QString& Name() const { return name_; }
    const QString& Failure() const { return failure_; }

private:
    QProcess process_;
    QString name_;
    QString failure_;
};

/// What a tool run to its end (or killed at its timeout) gave.
struct ToolResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

/// The fixture of an end-to-end test: display and hosts up, an empty configuration folder.
/// Everything it starts is stopped when the test ends, and every application started must have
/// ended cleanly by then.
class DesktopSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// $XDG_CONFIG_HOME of every application the test starts: empty at first, kept across
    /// restarts within the test.
    QString configHome() const { return folder_.path() + "/config"; }
    /// Where the application keeps its preferences under configHome().
    QString prefsPath() const { return configHome() + "/Tallybell/Tallybell.prefs"; }

    /// Starts command in host, keeping it for TearDown to stop.
    RunningProcess& start(TwoHosts::Host host, const QStringList& command);
    /// The application in host A, on the test's display, with the test's configuration folder.
    RunningProcess& startApp();
    /// The application, started and joined to its group.
    RunningProcess& startJoinedApp();
    /// SIGTERM to the application; it must end in time with status 0.
    void stopApp(RunningProcess& app);
    /// The peer in host B, once it listens (or has ended).
    RunningProcess& startPeer(const QStringList& arguments);
    /// Sends one datagram from host B to the group.
    void send(const QString& payload);

    /// An X tool on the test's display, in host A.
    ToolResult x(const QStringList& command);
    /// The visible windows a search finds (none: empty).
    QStringList visible(const QStringList& criteria);
    /// The visible windows whose title is exactly title.
    QStringList windowsTitled(const QString& title);
    /// The one visible window titled title, once it shows; empty when none does in time.
    QString waitForWindowTitled(const QString& title);
    QStringList alarmWindows() { return windowsTitled("Tallybell"); }
    QString waitForAlarmWindow() { return waitForWindowTitled("Tallybell"); }
    /// The menu bar's height: what the window is taller than its content area.
    int menuBarHeight(const QString& window, int contentHeight = kAlarmContentHeight);
    QImage screenshot(const QString& window);
    /// Presses and releases the left mouse button on the alarm window's button.
    ToolResult clickAlarmButton(const QString& window);
    /// An alarm from the peer, its window's button clicked: what the peer then received (its
    /// lines "from <address>: <payload>"), once the window has hidden again.
    QByteArray acknowledgeAlarm();

private:
    QTemporaryDir folder_;
    std::unique_ptr<TwoHosts> hosts_;
    Display display_;
    std::vector<std::unique_ptr<RunningProcess>> started_;
    std::vector<RunningProcess*> apps_; // must have ended cleanly when the test ends
};

} // namespace tallybell::testing
