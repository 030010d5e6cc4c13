// The alarm road end to end: the real executable on an X server of the test's own (Xvfb), in host
// A of two network namespaces joined by a veth pair, and the alarm test peer in host B. The
// window is found, photographed and clicked with the X tools, as a user would see and click it.
#include "tests/e2e/desktop_session.h"
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace tallybell {
namespace {

using testing::kDefaultPortText;
using testing::kJoinedDefault;
using testing::kToolTimeoutMs;
using testing::RunningProcess;
using testing::ToolResult;
using testing::WaitFor;

// The painted frame and the button, relative to the window's content area.
const QRect kFrameArea(20 + 152, 20, 256, 256);
constexpr int kFrameSide = 256;
constexpr int kFrames = 100;
const QRect kButtonArea(175, 288, 250, 92);
// The caption as the window sets it: 30 points of Helvetica, a point being a pixel.
constexpr const char* kCaption = "On my Way!";
constexpr const char* kCaptionFace = "Helvetica";
constexpr int kCaptionPixels = 30;
// Fonts differ a little between machines; the caption must still land this close.
constexpr int kInkTolerance = 3;
// The room a caption of that size leaves on each side, at the least; one drawn a third too large
// nearly fills the button.
constexpr int kLeastRoom = 25;

/// Every test starts with the name "Ann Lee" stored.
class AlarmRoadEndToEnd : public testing::DesktopSession {
protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (!HasFatalFailure()) {
            writePrefs();
        }
    }

    void writePrefs() {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(prefsPath()).path()));
        QFile prefs(prefsPath());
        ASSERT_TRUE(prefs.open(QIODevice::WriteOnly)) << qPrintable(prefs.errorString());
        prefs.write(testing::PrefsNamed("Ann Lee"));
    }
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

int colourDistance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

/// Where the caption's ink lies on the button, relative to it: the pixels nearer the caption's
/// colour (the farthest from the fill) than the fill, which is sampled beside a rounded corner.
/// The fill is white or, under the pointer, orange and inset: the edge is left out of the search.
QRect captionInk(const QImage& shot, int menuHeight) {
    const QRect button = kButtonArea.translated(0, menuHeight);
    const QRect inside = button.adjusted(3, 3, -3, -3);
    const QRgb fill = shot.pixel(inside.left() + 1, inside.center().y());
    int farthest = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            farthest = std::max(farthest, colourDistance(shot.pixel(x, y), fill));
        }
    }
    QRect ink;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (2 * colourDistance(shot.pixel(x, y), fill) > farthest) {
                ink |= QRect(x - button.left(), y - button.top(), 1, 1);
            }
        }
    }
    return ink;
}

/// Where the caption's ink belongs on the button, relative to it: left at the button's centring
/// arithmetic on the caption's width, as wide as the face draws it.
QRect expectedCaptionInk() {
    QFont face(kCaptionFace);
    face.setPixelSize(kCaptionPixels);
    const QFontMetricsF metrics(face);
    const int left = int(kButtonArea.width() - metrics.horizontalAdvance(kCaption)) / 2;
    const QRectF ink = metrics.tightBoundingRect(kCaption);
    return QRectF(left + ink.left(), 0, ink.width(), 1).toRect();
}

TEST_F(AlarmRoadEndToEnd, StartUpIsLoggedInOrderAndAnAlarmNamesItsSender) {
    RunningProcess& app = startJoinedApp();
    const QStringList lines = app.Lines();
    const auto loaded = lines.indexOf("Preferences loaded");
    const auto joined = lines.indexOf(QString::fromStdString(kJoinedDefault));
    ASSERT_GE(loaded, 0) << qPrintable(app.Errors());
    EXPECT_LT(loaded, joined);
    EXPECT_TRUE(alarmWindows().isEmpty()) << "the alarm window is built hidden";

    send(kAlarmCommand);
    EXPECT_TRUE(app.WaitForLine("Alert recieved from 198.18.0.2")) << qPrintable(app.Errors());
}

TEST_F(AlarmRoadEndToEnd, AnAlarmShowsTheAnimationAndTheButtonAcknowledgesToThePeer) {
    const FrameFinder frames;
    ASSERT_TRUE(frames.Loaded()) << TALLYBELL_SPRITE_SHEET;
    RunningProcess& app = startJoinedApp();
    RunningProcess& peer = startPeer({"alarm", "--group", kDefaultGroup, "--port",
                                      kDefaultPortText.c_str(), "--timeout-ms", "30000"});

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

    const QRect ink = captionInk(screenshot(window), menuHeight);
    const QRect expected = expectedCaptionInk();
    EXPECT_NEAR(ink.left(), expected.left(), kInkTolerance)
        << "caption ink " << ink.left() << ".." << ink.right();
    EXPECT_NEAR(ink.width(), expected.width(), kInkTolerance);
    EXPECT_GE(ink.left(), kLeastRoom);
    EXPECT_GE(kButtonArea.width() - 1 - ink.right(), kLeastRoom);
    EXPECT_NEAR(ink.left(), kButtonArea.width() - 1 - ink.right(), 2 * kInkTolerance)
        << "the caption is not centred";

    const ToolResult clicked = clickAlarmButton(window);
    ASSERT_EQ(clicked.exitCode, 0) << clicked.errors.constData();
    ASSERT_TRUE(peer.WaitForEnd(kToolTimeoutMs)) << "no acknowledgement came";
    EXPECT_EQ(peer.Output(), QByteArray("from 198.18.0.1: ACK,Ann Lee\n"));
    EXPECT_EQ(peer.ExitCode(), 0) << qPrintable(peer.Errors());
    EXPECT_TRUE(WaitFor([&] { return alarmWindows().isEmpty(); })) << "the window stays";
    EXPECT_TRUE(app.Lines().contains("Replied to 198.18.0.2"));

    // A second alarm, then its cancel: the window shows and hides, and nothing is answered.
    RunningProcess& listener =
        startPeer({"listen", "--port", kDefaultPortText.c_str(), "--timeout-ms", "3000"});
    send(kAlarmCommand);
    EXPECT_EQ(waitForAlarmWindow(), window) << "the same window shows again";
    send(kCancelCommand);
    EXPECT_TRUE(WaitFor([&] { return alarmWindows().isEmpty(); })) << "the cancel did not hide it";
    ASSERT_TRUE(listener.WaitForEnd(kToolTimeoutMs));
    EXPECT_EQ(listener.Output(), QByteArray()) << "a cancelled alarm is not acknowledged";
    EXPECT_TRUE(app.Running());

    // Start to quit, standard error carried the system's own lines and nothing of the toolkit's
    // (with no sound server here, that includes why there is no sound, once).
    stopApp(app);
    const QStringList ownLines = {"Preferences loaded", QString::fromStdString(kJoinedDefault),
                                  "Alert recieved from 198.18.0.2", "Replied to 198.18.0.2"};
    qsizetype noSound = 0;
    for (const QString& line : app.Lines()) {
        noSound += line.startsWith("No sound: ") ? 1 : 0;
        EXPECT_TRUE(ownLines.contains(line) || line.startsWith("No sound: "))
            << "not the system's: " << qPrintable(line);
    }
    EXPECT_LE(noSound, 1);
}

TEST_F(AlarmRoadEndToEnd, ASecondInstanceOnTheSamePortIsToldAndKeepsRunning) {
    startJoinedApp();
    RunningProcess& second = startApp();
    const QString pid = QString::number(second.Pid());
    QStringList dialogs;
    ASSERT_TRUE(WaitFor([&] {
        return !(dialogs = visible({"--pid", pid})).isEmpty();
    })) << "no message box from the second instance: "
        << qPrintable(second.Errors());
    EXPECT_FALSE(second.Errors().contains("Joined multicast group"));

    const ToolResult focused = x({"xdotool", "windowfocus", "--sync", dialogs.first()});
    ASSERT_EQ(focused.exitCode, 0) << focused.errors.constData();
    const ToolResult answered = x({"xdotool", "key", "Return"});
    ASSERT_EQ(answered.exitCode, 0) << answered.errors.constData();
    EXPECT_TRUE(WaitFor([&] {
        return visible({"--pid", pid}).isEmpty();
    })) << "the message box stays";
    EXPECT_FALSE(second.WaitForEnd(1000))
        << "the second instance ended: " << qPrintable(second.Errors());
}

} // namespace
} // namespace tallybell
