#include "tests/e2e/desktop_session.h"

#include "tests/support/private_xvfb.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

namespace tallybell::testing {

namespace {

using Host = TwoHosts::Host;

/// title as an extended regular expression (xdotool's) that matches it and nothing longer.
QString exactly(const QString& title) {
    QString pattern = "^";
    for (const QChar c : title) {
        if (QStringLiteral(".[]()*+?{}|^$\\").contains(c)) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "$";
}

} // namespace

bool Display::Start(const TwoHosts& hosts) {
    // The server writes its display number to standard output once it accepts connections.
    const QStringList command =
        hosts.Command(Host::A, {kPrivateXvfb, "-screen", "0", "1280x1024x24"});
    process_.start(command.first(), command.mid(1));
    if (!process_.waitForStarted(kToolTimeoutMs)) {
        failure_ = "Xvfb did not start: " + process_.errorString();
        return false;
    }
    QByteArray number;
    const bool ready = WaitFor(
        [&] {
            number += process_.readAllStandardOutput();
            return number.endsWith('\n') || process_.state() == QProcess::NotRunning;
        },
        kToolTimeoutMs);
    if (!ready || !number.endsWith('\n')) {
        failure_ = "Xvfb gave no display: " + process_.readAllStandardError().right(300);
        Stop();
        return false;
    }
    name_ = ":" + QString::fromLatin1(number.trimmed());
    return true;
}

void Display::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(RunningProcess::kStopMs)) {
            process_.kill();
            process_.waitForFinished(RunningProcess::kStopMs);
        }
    }
}

void DesktopSession::SetUp() {
    for (const char* name : {"Xvfb", "xdotool", "xwininfo", "import", "nsenter", "unshare"}) {
        ASSERT_FALSE(QStandardPaths::findExecutable(name).isEmpty())
            << name << " is not installed: run scripts/install-deps.sh";
    }
    ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell"))) << "no tallybell in TALLYBELL_BIN";
    ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell-peer")));
    ASSERT_TRUE(folder_.isValid()) << qPrintable(folder_.errorString());
    hosts_ = std::make_unique<TwoHosts>(TwoHosts::Layout::TwoChildren);
    ASSERT_TRUE(hosts_->IsReady()) << qPrintable(hosts_->Failure());
    ASSERT_TRUE(display_.Start(*hosts_)) << qPrintable(display_.Failure());
}

void DesktopSession::TearDown() {
    // Everything started in a host ends before the hosts do.
    for (const auto& started : started_) {
        started->Terminate();
    }
    for (RunningProcess* app : apps_) {
        EXPECT_TRUE(app->EndedCleanly());
    }
    apps_.clear();
    started_.clear();
    display_.Stop(); // it too lives in host A
    hosts_.reset();
}

RunningProcess& DesktopSession::start(Host host, const QStringList& command) {
    auto& started = started_.emplace_back(std::make_unique<RunningProcess>());
    EXPECT_TRUE(started->Start(hosts_->Command(host, command))) << qPrintable(command.join(' '));
    return *started;
}

RunningProcess& DesktopSession::startApp() {
    RunningProcess& app =
        start(Host::A, RunningProcess::AppCommand(
                           configHome(), {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb"}));
    apps_.push_back(&app);
    return app;
}

RunningProcess& DesktopSession::startJoinedApp() {
    RunningProcess& app = startApp();
    EXPECT_TRUE(app.WaitForLine(QString::fromStdString(kJoinedDefault)))
        << qPrintable(app.Errors());
    return app;
}

void DesktopSession::stopApp(RunningProcess& app) {
    app.Terminate();
    EXPECT_TRUE(app.EndedCleanly());
}

RunningProcess& DesktopSession::startPeer(const QStringList& arguments) {
    RunningProcess& peer = start(Host::B, QStringList{TwoHosts::Bin("tallybell-peer")} + arguments);
    EXPECT_TRUE(WaitFor([&] {
        return peer.Errors().contains("listening on port") || !peer.Running();
    })) << "the peer did not get ready";
    return peer;
}

void DesktopSession::send(const QString& payload) {
    const auto sent =
        hosts_->Run(Host::B, {TwoHosts::Bin("tallybell-peer"), "send", "--group", kDefaultGroup,
                              "--port", kDefaultPortText.c_str(), "--payload", payload});
    ASSERT_TRUE(sent.finished && sent.exitCode == 0) << qPrintable(sent.errors);
}

ToolResult DesktopSession::x(const QStringList& command) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_.Name());
    process.setProcessEnvironment(environment);
    const QStringList inHostA = hosts_->Command(Host::A, command);
    process.start(inHostA.first(), inHostA.mid(1));
    ToolResult result;
    result.finished =
        WaitFor([&] { return process.state() == QProcess::NotRunning; }, kToolTimeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(RunningProcess::kStopMs);
        result.errors = QStringLiteral("%1 did not end within %2 ms; ")
                            .arg(command.first())
                            .arg(kToolTimeoutMs)
                            .toUtf8();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.output = process.readAllStandardOutput();
    result.errors += process.readAllStandardError() + process.errorString().toUtf8();
    return result;
}

QStringList DesktopSession::visible(const QStringList& criteria) {
    const ToolResult found = x(QStringList{"xdotool", "search", "--onlyvisible"} + criteria);
    EXPECT_TRUE(found.finished) << "xdotool search hung";
    return QString::fromLatin1(found.output).split('\n', Qt::SkipEmptyParts);
}

QStringList DesktopSession::windowsTitled(const QString& title) {
    return visible({"--name", exactly(title)});
}

QString DesktopSession::waitForWindowTitled(const QString& title) {
    QStringList windows;
    EXPECT_TRUE(WaitFor([&] { return !(windows = windowsTitled(title)).isEmpty(); }))
        << "no visible window titled " << qPrintable(title);
    EXPECT_LE(windows.size(), 1);
    return windows.value(0);
}

int DesktopSession::menuBarHeight(const QString& window, int contentHeight) {
    const ToolResult info = x({"xwininfo", "-id", window});
    const auto match =
        QRegularExpression(R"(Height:\s+(\d+))").match(QString::fromLatin1(info.output));
    EXPECT_TRUE(match.hasMatch()) << info.output.constData() << info.errors.constData();
    return match.captured(1).toInt() - contentHeight;
}

QImage DesktopSession::screenshot(const QString& window) {
    const ToolResult shot = x({"import", "-window", window, "png:-"});
    EXPECT_EQ(shot.exitCode, 0) << shot.errors.constData();
    return QImage::fromData(shot.output, "PNG").convertToFormat(QImage::Format_RGB32);
}

ToolResult DesktopSession::clickAlarmButton(const QString& window) {
    const QString y = QString::number(kAlarmButtonCentreY + menuBarHeight(window));
    // No --sync: it waits for the pointer to leave where it was, forever when it is already on
    // the button (a second click there). The server handles the move and the click in order.
    return x({"xdotool", "mousemove", "--window", window, QString::number(kAlarmButtonCentreX), y,
              "click", "1"});
}

QByteArray DesktopSession::acknowledgeAlarm() {
    RunningProcess& peer = startPeer({"alarm", "--group", kDefaultGroup, "--port",
                                      kDefaultPortText.c_str(), "--timeout-ms", "30000"});
    const QString window = waitForAlarmWindow();
    if (window.isEmpty()) {
        return {};
    }
    const ToolResult clicked = clickAlarmButton(window);
    EXPECT_EQ(clicked.exitCode, 0) << clicked.errors.constData();
    EXPECT_TRUE(peer.WaitForEnd(kToolTimeoutMs)) << "no acknowledgement came";
    EXPECT_EQ(peer.ExitCode(), 0) << qPrintable(peer.Errors());
    EXPECT_TRUE(WaitFor([&] { return alarmWindows().isEmpty(); })) << "the alarm window stays";
    return peer.Output();
}

} // namespace tallybell::testing
