#pragma once

// A started application object against a preferences folder of the test's own, with the debug
// log captured and message boxes answered.

#include "app/alarm_socket.h"
#include "app/app.h"
#include "framework/core/debug_log.h"
#include "framework/core/timer.h"
#include "framework/gui/message_box.h"
#include "framework/gui/runtime.h"
#include "tests/support/alarm_defaults.h"
#include "tests/support/udp_sender.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace tallybell::testing {

/// Sends one datagram to the default group and port from source (a loopback address that stands
/// for another host).
inline void sendDatagram(const std::string& payload, const char* source = "127.0.0.2") {
    UdpSender sender(source);
    ASSERT_TRUE(sender.Send(kDefaultGroup, kDefaultPort, payload)) << sender.Error();
}

/// The watchdog's period: five minutes.
constexpr std::int64_t kWatchdogPeriodMs = 300000;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
        app = std::make_shared<class App>();
        app->Constructor();
        fw::_RuntimeRegisterAppObject(app);
    }

    void TearDown() override { fw::_RuntimeRegisterAppObject(nullptr); }

    QString prefsPath() const { return config.path() + "/Tallybell/Tallybell.prefs"; }

    void writePrefs(const QByteArray& json) {
        ASSERT_TRUE(QDir(config.path()).mkpath("Tallybell"));
        QFile file(prefsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << file.errorString().toStdString();
        file.write(json);
    }

    void open() {
        fw::RaiseEvent([this] { app->Event_Open(); });
    }

    /// Takes the route to every group away from this test's own namespace, or gives it back: no
    /// network to join on, then one again.
    static void routeGroups(bool routed) {
        ASSERT_EQ(std::system(routed ? "ip route add 224.0.0.0/4 dev lo"
                                     : "ip route del 224.0.0.0/4 dev lo"),
                  0);
    }

    /// The route given back, the next watchdog run on clock joins the default group again.
    void expectTheNextRunRejoins(fw::TestClock& clock) {
        routeGroups(true);
        log.Clear();
        clock.Advance(kWatchdogPeriodMs);
        EXPECT_EQ(log.Lines(),
                  (std::vector<std::string>{
                      "watchdog run....", std::string("Joined multicast group ") + kDefaultGroup}));
    }

    bool waitForLine(const std::string& line, int timeoutMs = 3000) {
        return QTest::qWaitFor([&] { return log.Contains(line); }, timeoutMs);
    }

    QTemporaryDir config;
    fw::DebugLogCapture log;
    fw::SystemLogCapture systemLog;
    fw::MessageBoxAutoAnswer boxes;
    std::shared_ptr<class App> app;
};

} // namespace tallybell::testing
