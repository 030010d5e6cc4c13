#pragma once

// The alarm window's tests: this executable has a folder of its own, and each test lays out the
// horn in Resources/ beside it (or leaves it out) before the horn is first looked for.

#include "app/ui/alarm_window.h"
#include "app/ui/media.h"
#include "framework/debug_log.h"
#include "framework/sound.h"
#include "framework/window.h"
#include "framework/window_list.h"
#include "framework/window_qt.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace tallybell::testing {

using AlarmWindow = class tallybell::Window1;

inline constexpr qint64 kHornDelayMs = 500;
// A timer may fire up to 5% early; the event loop may make it late, never much earlier.
inline constexpr qint64 kEarliestHornMs = 470;
inline constexpr qint64 kLatestHornMs = 900;

/// The time, from a start, of each play the recorder sees (polled while waiting).
class HornClock {
public:
    explicit HornClock(const fw::SoundPlayRecorder& recorder) : recorder_(recorder) {
        clock_.start();
    }
    qint64 Now() const { return clock_.elapsed(); }
    void Poll() {
        while (at_.size() < recorder_.Plays().size()) {
            at_.push_back(clock_.elapsed());
        }
    }
    bool WaitForPlays(std::size_t count, int timeoutMs = 3000) {
        return WaitFor(
            [&] {
                Poll();
                return at_.size() >= count;
            },
            timeoutMs);
    }
    const std::vector<qint64>& At() const { return at_; }

private:
    const fw::SoundPlayRecorder& recorder_;
    QElapsedTimer clock_;
    std::vector<qint64> at_;
};

class AlarmWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QDir here(QCoreApplication::applicationDirPath());
        resources_ = here.filePath("Resources");
        ASSERT_TRUE(QDir(resources_).removeRecursively());
        if (WithHorn()) {
            const char* bin = std::getenv("TALLYBELL_BIN");
            ASSERT_NE(bin, nullptr) << "TALLYBELL_BIN names the folder holding Resources/Horn.wav";
            ASSERT_TRUE(QDir().mkpath(resources_));
            const QString built = QString::fromLocal8Bit(bin) + "/Resources/Horn.wav";
            ASSERT_TRUE(QFile::copy(built, resources_ + "/Horn.wav")) << qPrintable(built);
            ASSERT_NE(AirHorn(), nullptr);
        }
    }

    void TearDown() override {
        fw::CloseAllWindows();
        EXPECT_TRUE(QDir(resources_).removeRecursively());
    }

    virtual bool WithHorn() const { return true; }

    static std::shared_ptr<fw::Window> openWindow1() {
        return fw::Window::_GetImplicitWindow("Window1.Window1");
    }

    static bool isShown(const AlarmWindow& window) {
        const QMainWindow* widget = fw::_QtWindow(window);
        return window.Visible() && widget && widget->isVisible();
    }

    static void showAndWait(const std::shared_ptr<AlarmWindow>& window) {
        window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fw::_QtWindow(*window)));
    }

    QString resources_;
    fw::SoundPlayRecorder recorder;
    HornClock horn{recorder};
    fw::DebugLogCapture log;
};

} // namespace tallybell::testing
