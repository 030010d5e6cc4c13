// The network under the application goes away and comes back: this process is host A of two
// hosts joined by a veth pair, the alarm test peer sends from host B, and the watchdog is run by
// hand in place of its five-minute timer.
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
            hosts_->Run(Host::B, {TwoHosts::Bin("tallybell-peer"), "send", "--group", "239.1.2.4",
                                  "--port", "40001", "--payload", payload});
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

TEST_F(LostNetwork, TheWatchdogRebuildsASocketThatFailedAndItHearsTheOtherHostAgain) {
    sendFromB("ALARM");
    ASSERT_TRUE(waitForAlerts(1)) << "no alarm over the veth before the outage";
    EXPECT_TRUE(alarmWindowShown());

    // The link goes, and the socket fails with it (closed here: the kernel keeps a socket open).
    inHostA({"ip", "link", "set", TwoHosts::kInterfaceA, "down"});
    const std::shared_ptr<Socket> failed = app->Socket1;
    failed->Close();
    restoreLink();
    if (HasFatalFailure()) {
        return;
    }

    log.Clear();
    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"watchdog run....", "Joined multicast group 239.1.2.4"}));
    EXPECT_NE(app->Socket1, failed);
    EXPECT_TRUE(boxes.Texts().empty());

    sendFromB("ALARM_CANCEL");
    ASSERT_TRUE(waitForAlerts(1)) << "the replacement hears nothing from host B";
    EXPECT_FALSE(alarmWindowShown());
    EXPECT_EQ(app->Socket1->rxIP, fw::String(TwoHosts::kAddressB));
    sendFromB("ALARM");
    ASSERT_TRUE(waitForAlerts(2));
    EXPECT_TRUE(alarmWindowShown());

    log.Clear();
    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"watchdog run....", "....still connected"}));
}

} // namespace
} // namespace tallybell::testing
