#pragma once

// The alarm window's tests: this executable has a folder of its own, and each test lays out the
// horn in Resources/ beside it (or leaves it out) before the horn is first looked for.

#include "app/ui/alarm_window.h"
#include "app/ui/media.h"
#include "framework/core/debug_log.h"
#include "framework/core/timer.h"
#include "framework/gui/sound.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tallybell::testing {

using AlarmWindow = class tallybell::Window1;

inline constexpr std::int64_t kHornDelayMs = 500;
inline constexpr std::int64_t kFramePeriodMs = 25;

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
        const QMainWindow* widget = fw::qtWindow(window);
        return window.Visible() && widget && widget->isVisible();
    }

    static void showAndWait(const std::shared_ptr<AlarmWindow>& window) {
        window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fw::qtWindow(*window)));
    }

    QString resources_;
    fw::SoundPlayRecorder recorder;
    // The horn and the animation run on this clock; datagrams and windows on the real event loop.
    fw::TestClock clock;
    fw::DebugLogCapture log;
};

} // namespace tallybell::testing
