// The network under the application goes away and comes back, or is replaced: this process is
// host A of two hosts joined by a veth pair, the alarm test peer sends from host B, and the
// watchdog is run by hand in place of its five-minute timer.
#include "tests/faults/started_app.h"
#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <memory>
#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

using Host = TwoHosts::Host;

const std::string kAlertFromB = std::string("Alert recieved from ") + TwoHosts::kAddressB;

class LostNetwork : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // Here and peer: the group's route now leads over the veth, so the socket joins there.
        hosts_ = std::make_unique<TwoHosts>();
        ASSERT_TRUE(hosts_->IsReady()) << qPrintable(hosts_->Failure());
        openJoined();
    }

    void TearDown() override {
        StartedApp::TearDown();
        hosts_.reset();
    }

    void inHostA(const QStringList& command) {
        const auto result = hosts_->Run(Host::A, command);
        ASSERT_TRUE(result.finished && result.exitCode == 0)
            << qPrintable(command.join(' ')) << ": " << qPrintable(result.errors);
    }

    void sendFromB(const char* payload) {
        const auto sent =
            hosts_->Run(Host::B, {TwoHosts::Bin("tallybell-peer"), "send", "--group", kDefaultGroup,
                                  "--port", kDefaultPortText.c_str(), "--payload", payload});
        ASSERT_TRUE(sent.finished && sent.exitCode == 0) << qPrintable(sent.errors);
    }

    bool waitForAlerts(std::size_t count) {
        return WaitFor([&] { return log.Count(kAlertFromB) >= count; });
    }

    /// Link up and the group routed over it again, as a network manager restores them.
    void restoreLink() {
        inHostA({"ip", "link", "set", TwoHosts::kInterfaceA, "up"});
        inHostA({"ip", "route", "replace", "224.0.0.0/4", "dev", TwoHosts::kInterfaceA});
        EXPECT_TRUE(WaitFor([&] {
            return hosts_->Run(Host::A, {"ip", "-o", "link", "show", TwoHosts::kInterfaceA})
                .output.contains("LOWER_UP");
        })) << "no carrier after the link came back";
    }

    std::unique_ptr<TwoHosts> hosts_;
};

// A link that goes down and comes back keeps the membership: the watchdog leaves the socket and
// alarms arrive again. An interface deleted and made again (same name, same address, a new index)
// took the membership with it: the socket is no longer connected, and the watchdog's new socket
// hears the other host again.
TEST_F(LostNetwork, TheWatchdogKeepsASocketThroughAnOutageAndRebuildsItWhenTheLinkIsReplaced) {
    sendFromB(kAlarmCommand);
    ASSERT_TRUE(waitForAlerts(1)) << "no alarm over the veth before the outage";
    EXPECT_TRUE(alarmWindowShown());

    inHostA({"ip", "link", "set", TwoHosts::kInterfaceA, "down"});
    restoreLink();
    if (HasFatalFailure()) {
        return;
    }
    const std::weak_ptr<Socket> first = app->Socket1; // not held: it keeps the port while alive
    log.Clear();
    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"watchdog run....", "....still connected"}));
    sendFromB(kCancelCommand);
    ASSERT_TRUE(waitForAlerts(1)) << "the socket hears nothing after the link came back";
    EXPECT_FALSE(alarmWindowShown());
    EXPECT_EQ(app->Socket1, first.lock());

    ASSERT_TRUE(hosts_->ReplaceLink()) << qPrintable(hosts_->Failure());
    EXPECT_FALSE(app->Socket1->IsConnected()) << "its interface is gone, and its membership too";
    log.Clear();
    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"watchdog run....",
                                        std::string("Joined multicast group ") + kDefaultGroup}));
    EXPECT_TRUE(first.expired()) << "the former socket is released";
    EXPECT_EQ(app->Socket1->RouterHops(), 1);
    EXPECT_TRUE(boxes.Texts().empty());

    sendFromB(kAlarmCommand);
    ASSERT_TRUE(waitForAlerts(1)) << "the replacement hears nothing from host B";
    EXPECT_TRUE(alarmWindowShown());
    EXPECT_EQ(app->Socket1->rxIP, fw::String(TwoHosts::kAddressB));

    log.Clear();
    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"watchdog run....", "....still connected"}));
}

} // namespace
} // namespace tallybell::testing
