// The display, end to end with the real executable: a start that cannot open one says why and
// ends with a status; a display that goes away while the first-start prompt holds a typed name
// ends the run in order, the name saved and the end written to the system log.
#include "tests/e2e/desktop_session.h"
#include "tests/support/wait.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tallybell {
namespace {

using testing::Display;
using testing::RunningProcess;
using testing::TwoHosts;
using testing::WaitFor;

// What the application says when the toolkit cannot carry on.
constexpr int kToolkitFailureStatus = 1;
constexpr const char* kTypedName = "Ann Lee";

/// A system log of the test's own: a datagram socket where syslog(3) writes, which the
/// application finds at /dev/log in a mount namespace of its own (runInOwnMounts).
class SystemLogSocket {
public:
    explicit SystemLogSocket(const QString& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        std::memcpy(address.sun_path, bytes.constData(),
                    std::min(sizeof(address.sun_path) - 1, static_cast<size_t>(bytes.size())));
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            failure_ = std::strerror(errno);
        }
    }
    ~SystemLogSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SystemLogSocket(const SystemLogSocket&) = delete;
    SystemLogSocket& operator=(const SystemLogSocket&) = delete;

    const std::string& Failure() const { return failure_; }

    /// The entries written so far, each as syslog(3) sent it: "<priority>date ident[pid]: text".
    const QStringList& Entries() {
        char buffer[4096];
        ssize_t size = 0;
        while ((size = ::recv(fd_, buffer, sizeof buffer, 0)) > 0) {
            entries_ << QString::fromUtf8(buffer, static_cast<qsizetype>(size));
        }
        return entries_;
    }

    /// The command that runs command with this socket as its /dev/log: a fresh /dev of links to
    /// the real one's entries, in a mount namespace of its own, so nothing shared is touched.
    QStringList RunInOwnMounts(const QString& folder, const QStringList& command) const {
        const QString setup = R"(set -e; d=$1; shift; mkdir -p "$d/dev"; mount --rbind /dev "$d/dev"
mount -t tmpfs tallybell-dev /dev; for f in "$d"/dev/*; do ln -s "$f" /dev/; done
ln -s "$1" /dev/log; shift; exec "$@")";
        return QStringList{"unshare", "--mount", "sh", "-c", setup, "sh", folder, path_} + command;
    }

private:
    QString path_;
    int fd_ = -1;
    std::string failure_;
    QStringList entries_;
};

class DisplayEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell"))) << "no tallybell in TALLYBELL_BIN";
    }

    QString configHome() const { return folder.path() + "/config"; }

    QTemporaryDir folder;
    RunningProcess app;
};

// Nothing to listen on this namespace's loopback: the display leads nowhere.
TEST_F(DisplayEndToEnd, AStartWithoutADisplaySaysWhyAndEndsWithAStatus) {
    for (const QString& display : {QString("DISPLAY="), QString("DISPLAY=127.0.0.1:0")}) {
        RunningProcess started;
        ASSERT_TRUE(started.Start(
            RunningProcess::AppCommand(configHome(), {display, "QT_QPA_PLATFORM=xcb"})));
        ASSERT_TRUE(started.WaitForEnd(RunningProcess::kStopMs)) << qPrintable(display);
        EXPECT_TRUE(started.EndedCleanly(kToolkitFailureStatus)) << qPrintable(display);
        const QStringList lines = started.Lines();
        EXPECT_GE(lines.size(), 1) << qPrintable(display);
        EXPECT_LE(lines.size(), 2) << qPrintable(started.Errors());
        EXPECT_TRUE(lines.value(0).contains("could not connect to display"))
            << qPrintable(started.Errors());
    }
}

class DisplayGoesAway : public DisplayEndToEnd {
protected:
    void SetUp() override {
        DisplayEndToEnd::SetUp();
        hosts = std::make_unique<TwoHosts>();
        ASSERT_TRUE(hosts->IsReady()) << qPrintable(hosts->Failure());
        ASSERT_TRUE(display.Start(*hosts)) << qPrintable(display.Failure());
    }
    void TearDown() override {
        app.Terminate();
        display.Stop();
    }

    /// An X tool on the display; its standard output (a picture, say), empty when it failed.
    QByteArray x(const QStringList& command) {
        const auto tool = hosts->Start(TwoHosts::Host::A,
                                       QStringList{"env", "DISPLAY=" + display.Name()} + command);
        const bool ended =
            WaitFor([&] { return tool->state() == QProcess::NotRunning; }, testing::kToolTimeoutMs);
        EXPECT_TRUE(ended && tool->exitStatus() == QProcess::NormalExit && tool->exitCode() == 0)
            << qPrintable(command.join(' ')) << ": " << tool->readAllStandardError().constData();
        if (!ended) {
            tool->kill();
            tool->waitForFinished();
        }
        return tool->readAllStandardOutput();
    }

    /// How many pixels of the window are dark: the typed name's, once it is drawn.
    int darkPixels(const QString& window) {
        const QImage shot = QImage::fromData(x({"import", "-window", window, "png:-"}), "PNG");
        int dark = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                dark += qGray(shot.pixel(x, y)) < 96 ? 1 : 0;
            }
        }
        return dark;
    }

    std::unique_ptr<TwoHosts> hosts;
    Display display;
};

TEST_F(DisplayGoesAway, WithANameTypedInThePromptTheNameIsSavedAndTheEndLogged) {
    SystemLogSocket systemLog(folder.path() + "/log");
    ASSERT_TRUE(systemLog.Failure().empty()) << systemLog.Failure();
    const QStringList settings{"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb"};
    ASSERT_TRUE(app.Start(systemLog.RunInOwnMounts(
        folder.path(), RunningProcess::AppCommand(configHome(), settings))));
    ASSERT_TRUE(app.WaitForLine(QString::fromStdString(testing::kJoinedDefault)))
        << qPrintable(app.Errors());
    QString prompt;
    ASSERT_TRUE(WaitFor([&] {
        prompt =
            QString::fromLatin1(x({"xdotool", "search", "--onlyvisible", "--name", "^Your Name$"}))
                .trimmed();
        return !prompt.isEmpty();
    })) << "no prompt";
    const int blank = darkPixels(prompt);
    x({"xdotool", "windowfocus", "--sync", prompt});
    x({"xdotool", "type", "--", kTypedName});
    // The name's letters, 55 px tall, darken far more than a blinking caret does.
    ASSERT_TRUE(WaitFor([&] { return darkPixels(prompt) > blank + 1000; })) << "nothing typed";

    display.Stop();
    ASSERT_TRUE(app.WaitForEnd(RunningProcess::kStopMs));
    EXPECT_TRUE(app.EndedCleanly(kToolkitFailureStatus));
    QFile prefs(configHome() + "/Tallybell/Tallybell.prefs");
    ASSERT_TRUE(prefs.open(QIODevice::ReadOnly)) << qPrintable(app.Errors());
    EXPECT_TRUE(prefs.readAll().contains(QByteArray(R"("alarmName":")") + kTypedName + '"'));
    EXPECT_TRUE(app.Lines().contains("Preferences saved"));
    // LOG_USER with LOG_NOTICE is priority 13.
    EXPECT_TRUE(WaitFor([&] {
        const QStringList& entries = systemLog.Entries();
        return std::any_of(entries.begin(), entries.end(), [](const QString& entry) {
            return entry.startsWith("<13>") && entry.contains(" Tallybell[") &&
                   entry.endsWith(": Alarm Closed");
        });
    })) << qPrintable(systemLog.Entries().join('\n'));
}

} // namespace
} // namespace tallybell
