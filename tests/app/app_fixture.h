#pragma once

// A started application object against a preferences folder of the test's own, with the debug
// log captured and message boxes answered.

#include "app/alarm_socket.h"
#include "app/app.h"
#include "framework/debug_log.h"
#include "framework/message_box.h"
#include "framework/runtime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tallybell::testing {

/// Sends one datagram to group:port from a socket bound to source (a loopback address that
/// stands for another host).
inline void sendDatagram(const std::string& payload, const char* source = "127.0.0.2",
                         const char* group = "239.1.2.4", std::uint16_t port = 40001) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &from.sin_addr);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0)
        << std::strerror(errno);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, group, &to.sin_addr);
    const ssize_t sent = ::sendto(fd, payload.data(), payload.size(), 0,
                                  reinterpret_cast<sockaddr*>(&to), sizeof to);
    EXPECT_EQ(sent, static_cast<ssize_t>(payload.size())) << std::strerror(errno);
    ::close(fd);
}

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
