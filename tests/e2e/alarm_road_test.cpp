// The alarm road end to end: the real executable on an X server of the test's own (Xvfb), in host
// A of two network namespaces joined by a veth pair, and the alarm test peer in host B. The
// window is found, photographed and clicked with the X tools, as a user would see and click it.
#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallybell {
namespace {

using testing::TwoHosts;
using testing::WaitFor;
using Host = TwoHosts::Host;

constexpr const char* kGroup = "239.1.2.4";
constexpr const char* kPort = "40001";
constexpr int kToolTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;
constexpr int kContentHeight = 400;
// The button's centre and the painted frame, relative to the window's content area.
constexpr int kButtonCentreX = 300;
constexpr int kButtonCentreY = 334;
const QRect kFrameArea(20 + 152, 20, 256, 256);
constexpr int kFrameSide = 256;
constexpr int kFrames = 100;
// Displays are tried from a number that differs between processes, so tests side by side
// seldom meet on one.
constexpr int kFirstDisplay = 100;
constexpr int kDisplaySpread = 400;
constexpr int kDisplayAttempts = 50;

QString tool(const char* name) {
    return QStandardPaths::findExecutable(name);
}

/// An X server of the test's own. Xvfb's -displayfd cannot choose the display here: it takes the
/// first number whose abstract socket is free, and each test has a network namespace (so an
/// abstract socket space) of its own, so every test would take :0 and share its socket file.
/// A display named outright is guarded by Xvfb's lock file in /tmp, which all namespaces see: a
/// number in use makes the server end at once, and the next one is tried.
class Display {
public:
    bool Start() {
        const int first = kFirstDisplay + int(QCoreApplication::applicationPid() % kDisplaySpread);
        for (int number = first; number < first + kDisplayAttempts; ++number) {
            const QString name = ":" + QString::number(number);
            process_.start("Xvfb", {name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
            if (!process_.waitForStarted(kToolTimeoutMs)) {
                failure_ = "Xvfb did not start: " + process_.errorString();
                return false;
            }
            const bool up =
                WaitFor([&] { return process_.state() == QProcess::NotRunning || accepts(name); },
                        kToolTimeoutMs);
            if (up && process_.state() == QProcess::Running) {
                name_ = name;
                return true;
            }
            stop();
            failure_ += name + ": " + process_.readAllStandardError().right(300) + "\n";
        }
        return false;
    }

    ~Display() { stop(); }

    const QString& Name() const { return name_; }
    const QString& Failure() const { return failure_; }

private:
    static bool accepts(const QString& name) {
        QProcess probe;
        probe.start("xwininfo", {"-root", "-display", name});
        return probe.waitForFinished(kToolTimeoutMs) &&
               probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }

    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(kStopTimeoutMs)) {
                process_.kill();
                process_.waitForFinished(kStopTimeoutMs);
            }
        }
    }

    QProcess process_;
    QString name_;
    QString failure_;
};

struct ToolResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

/// A started process whose output is gathered while the test waits.
struct Started {
    std::unique_ptr<QProcess> process;
    QByteArray output;
    QByteArray errors;

    void Drain() {
        output += process->readAllStandardOutput();
        errors += process->readAllStandardError();
    }
    bool Running() const { return process->state() != QProcess::NotRunning; }
    /// The whole lines written to standard error so far.
    QStringList ErrorLines() {
        Drain();
        QStringList lines = QString::fromUtf8(errors).split('\n');
        lines.removeLast(); // an unfinished line, or the empty text after the last line end
        return lines;
    }
    bool WaitForErrorLine(const QString& line, int timeoutMs = kToolTimeoutMs) {
        return WaitFor([&] { return ErrorLines().contains(line); }, timeoutMs);
    }
    bool WaitForEnd(int timeoutMs) {
        const bool ended = WaitFor([&] { return !Running(); }, timeoutMs);
        Drain();
        return ended;
    }
    /// SIGTERM, then a bounded wait; killed when it does not end.
    void Stop() {
        if (!process || !Running()) {
            return;
        }
        process->terminate();
        if (!WaitForEnd(kStopTimeoutMs)) {
            process->kill();
            process->waitForFinished(kStopTimeoutMs);
        }
    }
};

class AlarmRoadEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"Xvfb", "xdotool", "xwininfo", "import", "nsenter", "unshare"}) {
            ASSERT_FALSE(tool(name).isEmpty())
                << name << " is not installed: run scripts/install-deps.sh";
        }
        ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell"))) << "no tallybell in TALLYBELL_BIN";
        ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell-peer")));
        ASSERT_TRUE(folder_.isValid());
        ASSERT_TRUE(display_.Start()) << qPrintable(display_.Failure());
        hosts_ = std::make_unique<TwoHosts>(TwoHosts::Layout::TwoChildren);
        ASSERT_TRUE(hosts_->IsReady()) << qPrintable(hosts_->Failure());
        writePrefs();
    }

    void TearDown() override {
        // Everything started in a host ends before the hosts do.
        for (Started* started : running_) {
            started->Stop();
        }
        hosts_.reset();
    }

    void writePrefs() {
        ASSERT_TRUE(QDir(folder_.path()).mkpath("config/Tallybell"));
        QFile prefs(folder_.path() + "/config/Tallybell/Tallybell.prefs");
        ASSERT_TRUE(prefs.open(QIODevice::WriteOnly)) << qPrintable(prefs.errorString());
        prefs.write(R"({"alarmName":"Ann Lee","port":"40001","mCastIP":"239.1.2.4"})");
    }

    /// Starts command in host, keeping it for TearDown to stop.
    Started& start(Host host, const QStringList& command) {
        auto& started = owned_.emplace_back(std::make_unique<Started>());
        started->process = hosts_->Start(host, command);
        running_.push_back(started.get());
        return *started;
    }

    /// The application in host A, on the test's display, with the test's preferences.
    Started& startApp() {
        return start(Host::A, {"env", "DISPLAY=" + display_.Name(),
                               "XDG_CONFIG_HOME=" + folder_.path() + "/config",
                               "QT_QPA_PLATFORM=xcb", TwoHosts::Bin("tallybell")});
    }

    /// The application, started and joined to its group.
    Started& startJoinedApp() {
        Started& app = startApp();
        EXPECT_TRUE(app.WaitForErrorLine("Joined multicast group 239.1.2.4:40001"))
            << app.errors.constData();
        return app;
    }

    Started& startPeer(const QStringList& arguments) {
        Started& peer = start(Host::B, QStringList{TwoHosts::Bin("tallybell-peer")} + arguments);
        EXPECT_TRUE(WaitFor([&] {
            peer.Drain();
            return peer.errors.contains("listening on port") || !peer.Running();
        })) << "the peer did not get ready";
        return peer;
    }

    /// Sends one datagram from host B to the group.
    void send(const QString& payload) {
        const auto sent = hosts_->Run(Host::B, {TwoHosts::Bin("tallybell-peer"), "send", "--group",
                                                kGroup, "--port", kPort, "--payload", payload});
        ASSERT_TRUE(sent.finished && sent.exitCode == 0) << qPrintable(sent.errors);
    }

    /// An X tool on the test's display, in the test's own namespace.
    ToolResult x(const QStringList& command) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display_.Name());
        process.setProcessEnvironment(environment);
        process.start(command.first(), command.mid(1));
        ToolResult result;
        result.finished =
            WaitFor([&] { return process.state() == QProcess::NotRunning; }, kToolTimeoutMs);
        if (!result.finished) {
            process.kill();
            process.waitForFinished(kStopTimeoutMs);
        } else if (process.exitStatus() == QProcess::NormalExit) {
            result.exitCode = process.exitCode();
        }
        result.output = process.readAllStandardOutput();
        result.errors = process.readAllStandardError() + process.errorString().toUtf8();
        return result;
    }

    /// The visible windows a search finds (none: empty).
    QStringList visible(const QStringList& criteria) {
        const ToolResult found = x(QStringList{"xdotool", "search", "--onlyvisible"} + criteria);
        EXPECT_TRUE(found.finished) << "xdotool search hung";
        return QString::fromLatin1(found.output).split('\n', Qt::SkipEmptyParts);
    }

    QStringList alarmWindows() { return visible({"--name", "^Tallybell$"}); }

    /// The one alarm window, once it shows.
    QString waitForAlarmWindow() {
        QStringList windows;
        EXPECT_TRUE(WaitFor([&] { return !(windows = alarmWindows()).isEmpty(); }))
            << "no visible window titled Tallybell";
        EXPECT_LE(windows.size(), 1);
        return windows.value(0);
    }

    /// The menu bar's height: what the window is taller than its content area.
    int menuBarHeight(const QString& window) {
        const ToolResult info = x({"xwininfo", "-id", window});
        const auto match =
            QRegularExpression(R"(Height:\s+(\d+))").match(QString::fromLatin1(info.output));
        EXPECT_TRUE(match.hasMatch()) << info.output.constData() << info.errors.constData();
        return match.captured(1).toInt() - kContentHeight;
    }

    QImage screenshot(const QString& window) {
        const ToolResult shot = x({"import", "-window", window, "png:-"});
        EXPECT_EQ(shot.exitCode, 0) << shot.errors.constData();
        return QImage::fromData(shot.output, "PNG").convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir folder_;
    Display display_;
    std::unique_ptr<TwoHosts> hosts_;
    std::vector<std::unique_ptr<Started>> owned_;
    std::vector<Started*> running_;
};

/// Which sprite-sheet frame a screenshot shows on the canvas: each frame drawn over the
/// background, compared pixel for pixel; nullopt when none matches.
class FrameFinder {
public:
    FrameFinder() : sheet_(QString(TALLYBELL_SPRITE_SHEET)) {}

    bool Loaded() const { return sheet_.width() == 10 * kFrameSide; }

    std::optional<int> Find(const QImage& shot, int menuHeight) const {
        const QRect area = kFrameArea.translated(0, menuHeight);
        const QRgb background = shot.pixel(area.left() - 100, area.top() + 5);
        for (int frame = 0; frame < kFrames; ++frame) {
            if (differences(shot, area, background, frame) < area.width() * area.height() / 200) {
                return frame;
            }
        }
        return std::nullopt;
    }

private:
    int differences(const QImage& shot, const QRect& area, QRgb background, int frame) const {
        QImage expected(kFrameSide, kFrameSide, QImage::Format_RGB32);
        expected.fill(background);
        QPainter painter(&expected);
        painter.drawImage(0, 0,
                          sheet_.copy((frame % 10) * kFrameSide, (frame / 10) * kFrameSide,
                                      kFrameSide, kFrameSide));
        painter.end();
        int count = 0;
        for (int y = 0; y < kFrameSide; ++y) {
            for (int x = 0; x < kFrameSide; ++x) {
                const QRgb a = shot.pixel(area.left() + x, area.top() + y);
                const QRgb b = expected.pixel(x, y);
                count += (std::abs(qRed(a) - qRed(b)) > 3 || std::abs(qGreen(a) - qGreen(b)) > 3 ||
                          std::abs(qBlue(a) - qBlue(b)) > 3)
                             ? 1
                             : 0;
            }
        }
        return count;
    }

    QImage sheet_;
};

TEST_F(AlarmRoadEndToEnd, StartUpIsLoggedInOrderAndAnAlarmNamesItsSender) {
    Started& app = startJoinedApp();
    const QStringList lines = app.ErrorLines();
    const auto loaded = lines.indexOf("Preferences loaded");
    const auto joined = lines.indexOf("Joined multicast group 239.1.2.4:40001");
    ASSERT_GE(loaded, 0) << app.errors.constData();
    EXPECT_LT(loaded, joined);
    EXPECT_TRUE(alarmWindows().isEmpty()) << "the alarm window is built hidden";

    send("ALARM");
    EXPECT_TRUE(app.WaitForErrorLine("Alert recieved from 198.18.0.2")) << app.errors.constData();
}

TEST_F(AlarmRoadEndToEnd, AnAlarmShowsTheAnimationAndTheButtonAcknowledgesToThePeer) {
    const FrameFinder frames;
    ASSERT_TRUE(frames.Loaded()) << TALLYBELL_SPRITE_SHEET;
    Started& app = startJoinedApp();
    Started& peer =
        startPeer({"alarm", "--group", kGroup, "--port", kPort, "--timeout-ms", "30000"});

    const QString window = waitForAlarmWindow();
    ASSERT_FALSE(window.isEmpty());
    const int menuHeight = menuBarHeight(window);
    ASSERT_GE(menuHeight, 0);
    ASSERT_LT(menuHeight, 100);

    std::optional<int> first;
    ASSERT_TRUE(WaitFor([&] {
        return (first = frames.Find(screenshot(window), menuHeight)).has_value();
    })) << "the canvas shows no sprite frame";
    std::optional<int> later;
    EXPECT_TRUE(WaitFor([&] {
        later = frames.Find(screenshot(window), menuHeight);
        return later && *later != *first;
    })) << "the frame does not change";

    const QString y = QString::number(kButtonCentreY + menuHeight);
    const ToolResult clicked = x({"xdotool", "mousemove", "--sync", "--window", window,
                                  QString::number(kButtonCentreX), y, "click", "1"});
    ASSERT_EQ(clicked.exitCode, 0) << clicked.errors.constData();
    EXPECT_TRUE(WaitFor(
        [&] {
            peer.Drain();
            return peer.output.contains('\n');
        },
        1000))
        << "no acknowledgement within a second";
    ASSERT_TRUE(peer.WaitForEnd(kStopTimeoutMs));
    EXPECT_EQ(peer.output, QByteArray("from 198.18.0.1: ACK,Ann Lee\n"));
    EXPECT_EQ(peer.process->exitCode(), 0) << peer.errors.constData();
    EXPECT_TRUE(WaitFor([&] { return alarmWindows().isEmpty(); })) << "the window stays";
    EXPECT_TRUE(app.ErrorLines().contains("Replied to 198.18.0.2"));

    // A second alarm, then its cancel: the window shows and hides, and nothing is answered.
    Started& listener = startPeer({"listen", "--port", kPort, "--timeout-ms", "3000"});
    send("ALARM");
    EXPECT_EQ(waitForAlarmWindow(), window) << "the same window shows again";
    send("ALARM_CANCEL");
    EXPECT_TRUE(WaitFor([&] { return alarmWindows().isEmpty(); })) << "the cancel did not hide it";
    ASSERT_TRUE(listener.WaitForEnd(kToolTimeoutMs));
    EXPECT_EQ(listener.output, QByteArray()) << "a cancelled alarm is not acknowledged";
    EXPECT_TRUE(app.Running());
}

TEST_F(AlarmRoadEndToEnd, ASecondInstanceOnTheSamePortIsToldAndKeepsRunning) {
    startJoinedApp();
    Started& second = startApp();
    const QString pid = QString::number(second.process->processId());
    QStringList dialogs;
    ASSERT_TRUE(WaitFor([&] {
        return !(dialogs = visible({"--pid", pid})).isEmpty();
    })) << "no message box from the second instance: "
        << second.errors.constData();
    EXPECT_FALSE(second.errors.contains("Joined multicast group"));

    const ToolResult focused = x({"xdotool", "windowfocus", "--sync", dialogs.first()});
    ASSERT_EQ(focused.exitCode, 0) << focused.errors.constData();
    const ToolResult answered = x({"xdotool", "key", "Return"});
    ASSERT_EQ(answered.exitCode, 0) << answered.errors.constData();
    EXPECT_TRUE(WaitFor([&] {
        return visible({"--pid", pid}).isEmpty();
    })) << "the message box stays";
    EXPECT_FALSE(second.WaitForEnd(1000))
        << "the second instance ended: " << second.errors.constData();
}

TEST_F(AlarmRoadEndToEnd, TerminationIsAnOrderlyQuit) {
    Started& app = startJoinedApp();
    app.process->terminate();
    ASSERT_TRUE(app.WaitForEnd(kStopTimeoutMs)) << "SIGTERM did not end the application";
    EXPECT_EQ(app.process->exitStatus(), QProcess::NormalExit) << app.errors.constData();
    EXPECT_EQ(app.process->exitCode(), 0);
}

} // namespace
} // namespace tallybell
