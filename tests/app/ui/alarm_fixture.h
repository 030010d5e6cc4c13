#pragma once

// The alarm window's tests: the build's horn, or none, before the horn is first looked for.

#include "app/ui/alarm_window.h"
#include "app/ui/media.h"
#include "framework/core/debug_log.h"
#include "framework/core/folder_item.h"
#include "framework/core/timer.h"
#include "framework/gui/sound.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace tallybell::testing {

using AlarmWindow = class tallybell::Window1;

inline constexpr std::int64_t kHornDelayMs = 500;
inline constexpr std::int64_t kFramePeriodMs = 25;

class AlarmWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Without the horn: no Resources folder at all.
        resources_.emplace(WithHorn() ? TwoHosts::Bin("Resources").toStdString() : "");
        if (WithHorn()) {
            ASSERT_NE(AirHorn(), nullptr);
        }
    }

    void TearDown() override { fw::CloseAllWindows(); }

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

    std::optional<fw::ResourcesFolderOverride> resources_;
    fw::SoundPlayRecorder recorder;
    // The horn and the animation run on this clock; datagrams and windows on the real event loop.
    fw::TestClock clock;
    fw::DebugLogCapture log;
};

} // namespace tallybell::testing
