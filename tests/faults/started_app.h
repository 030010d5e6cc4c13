#pragma once

// The application object started in this process, as the real start-up leaves it, with the horn
// in the Resources folder beside this executable (an alarm without it raises before logging, and
// the tests here count every log line).

#include "app/ui/alarm_window.h"
#include "framework/gui/sound.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/app/app_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>

#include <cstdlib>
#include <memory>

namespace tallybell::testing {

class StartedApp : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        resources_ = QDir(QCoreApplication::applicationDirPath()).filePath("Resources");
        ASSERT_TRUE(QDir(resources_).removeRecursively());
        const char* bin = std::getenv("TALLYBELL_BIN");
        ASSERT_NE(bin, nullptr) << "TALLYBELL_BIN names the folder holding Resources/Horn.wav";
        ASSERT_TRUE(QDir().mkpath(resources_));
        const QString built = QString::fromLocal8Bit(bin) + "/Resources/Horn.wav";
        ASSERT_TRUE(QFile::copy(built, resources_ + "/Horn.wav")) << qPrintable(built);
        // A name is stored, so no prompt opens; the rest are the defaults.
        writePrefs(R"({"alarmName":"Ann","port":"40001","mCastIP":"239.1.2.4"})");
    }

    void TearDown() override {
        fw::CloseAllWindows();
        EXPECT_TRUE(QDir(resources_).removeRecursively());
        AppTest::TearDown();
    }

    /// Event_Open, which must end joined to the default group.
    void openJoined() {
        open();
        ASSERT_TRUE(log.Contains("Joined multicast group 239.1.2.4:40001"))
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

    QString resources_;
    fw::SoundPlayRecorder horns; // every alarm schedules a horn: recorded, not played
};

} // namespace tallybell::testing
