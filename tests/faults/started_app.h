#pragma once

// The application object started in this process, as the real start-up leaves it, with the
// build's horn (an alarm without it raises before logging, and the tests here count every log
// line).

#include "app/ui/alarm_window.h"
#include "framework/core/folder_item.h"
#include "framework/gui/sound.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/app/app_fixture.h"
#include "tests/support/alarm_defaults.h"
#include "tests/support/two_hosts.h"

#include <QMainWindow>

#include <memory>

namespace tallybell::testing {

class StartedApp : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // A name is stored, so no prompt opens; the rest are the defaults.
        writePrefs(PrefsNamed("Ann"));
    }

    void TearDown() override {
        fw::CloseAllWindows();
        AppTest::TearDown();
    }

    /// Event_Open, which must end joined to the default group.
    void openJoined() {
        open();
        ASSERT_TRUE(log.Contains(kJoinedDefault))
            << "errno " << (app->Socket1 ? app->Socket1->LastErrorCode() : 0);
        log.Clear();
    }

    /// Whether the alarm window exists and is on screen; looking does not build it.
    static bool alarmWindowShown() {
        const auto window =
            fw::Cast<class Window1>(fw::Window::_GetImplicitWindow("Window1.Window1"));
        const QMainWindow* widget = window ? fw::qtWindow(*window) : nullptr;
        return window && window->Visible() && widget && widget->isVisible();
    }

    fw::ResourcesFolderOverride resources{TwoHosts::Bin("Resources").toStdString()};
    fw::SoundPlayRecorder horns; // every alarm schedules a horn: recorded, not played
};

} // namespace tallybell::testing
