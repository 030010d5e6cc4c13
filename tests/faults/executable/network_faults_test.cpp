// The real executable in host A of two hosts joined by a veth pair (host A is this test's own
// namespace), the alarm test peer in host B, and a network that misbehaves between them: a link
// that loses, duplicates and reorders datagrams, and a link and an address that go away and come
// back. What arrives is counted with a capture in host A; every datagram that arrives must be
// logged exactly once, and the application must never die.
#include "tests/faults/executable/link_faults.h"
#include "tests/support/alarm_defaults.h"
#include "tests/support/running_process.h"
#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

using Host = TwoHosts::Host;

constexpr int kAlarms = 40;
constexpr int kLivesMs = 500;
// A datagram held back by the impaired link arrives within a second of the last one sent.
constexpr int kSettledMs = 1500;
constexpr int kSettleTimeoutMs = 20000;
const QString kAlertFromB = QString("Alert recieved from ") + TwoHosts::kAddressB;

class NetworkFaults : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ip", "tc", "nsenter", "unshare"}) {
            ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty())
                << tool << " is not installed: run scripts/install-deps.sh (iproute2, util-linux)";
        }
        ASSERT_TRUE(QFile::exists(TwoHosts::Bin("tallybell-peer")));
        hosts_ = std::make_unique<TwoHosts>();
        ASSERT_TRUE(hosts_->IsReady()) << qPrintable(hosts_->Failure());
        arrivals_ = std::make_unique<Arrivals>(TwoHosts::kAddressB, kDefaultPort);
        ASSERT_EQ(arrivals_->Error(), "");
        ASSERT_TRUE(config_.isValid());
        ASSERT_TRUE(QDir(config_.path()).mkpath("Tallybell"));
        QFile prefs(config_.filePath("Tallybell/Tallybell.prefs"));
        ASSERT_TRUE(prefs.open(QIODevice::WriteOnly)) << qPrintable(prefs.errorString());
        prefs.write(PrefsNamed("Ann"));
        prefs.close();
        ASSERT_TRUE(app_.Start(RunningProcess::AppCommand(config_.path())));
        ASSERT_TRUE(app_.WaitForLine(QString::fromStdString(kJoinedDefault)))
            << qPrintable(app_.Errors());
    }

    void TearDown() override {
        app_.Terminate();
        hosts_.reset(); // the application is gone before its link is
    }

    void inHostA(const QStringList& command) {
        const auto result = hosts_->Run(Host::A, command);
        ASSERT_TRUE(result.finished && result.exitCode == 0)
            << qPrintable(command.join(' ')) << ": " << qPrintable(result.errors);
    }

    /// One datagram from host B to the group, from a socket of its own.
    TwoHosts::Result sendFromB(const QString& payload) {
        return hosts_->Run(Host::B,
                           {TwoHosts::Bin("tallybell-peer"), "send", "--group", kDefaultGroup,
                            "--port", QString::number(kDefaultPort), "--payload", payload});
    }

    void alarmArrives() {
        const qsizetype before = app_.Count(kAlertFromB);
        const auto sent = sendFromB(kAlarmCommand);
        ASSERT_TRUE(sent.finished && sent.exitCode == 0) << qPrintable(sent.errors);
        ASSERT_TRUE(WaitFor([&] { return app_.Count(kAlertFromB) > before; }))
            << "the alarm was not logged: " << qPrintable(app_.Errors());
    }

    /// Once nothing has arrived for a while and the log has caught up with the capture.
    bool settled() {
        return WaitFor(
            [&] {
                const auto& arrived = arrivals_->Poll();
                return arrivals_->QuietMs() >= kSettledMs &&
                       app_.Count(kAlertFromB) == qsizetype(arrived.size());
            },
            kSettleTimeoutMs);
    }

    void expectNothingUnhandled() {
        for (const QString& line : app_.Lines()) {
            EXPECT_FALSE(line.startsWith("Unhandled")) << qPrintable(line);
        }
    }

    std::unique_ptr<TwoHosts> hosts_;
    std::unique_ptr<Arrivals> arrivals_;
    QTemporaryDir config_;
    RunningProcess app_;
};

std::uint64_t chosenSeed() {
    if (const char* given = std::getenv("TALLYBELL_FUZZ_SEED")) {
        return std::strtoull(given, nullptr, 10);
    }
    return std::random_device()();
}

std::string joined(const std::vector<std::string>& payloads) {
    std::string text;
    for (const std::string& payload : payloads) {
        text += (text.empty() ? "" : " ") + payload;
    }
    return text;
}

TEST_F(NetworkFaults, OverALossyDuplicatingReorderingLinkEveryArrivalIsLoggedOnce) {
    QString failure;
    const QString impairment = ImpairLinkFromB(*hosts_, failure);
    ASSERT_FALSE(impairment.isEmpty()) << qPrintable(failure);
    RecordProperty("link", impairment.toStdString());

    const std::uint64_t seed = chosenSeed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed << " (TALLYBELL_FUZZ_SEED=" << seed
                                      << " repeats the commands sent)");
    std::mt19937_64 random(seed);
    std::vector<std::string> sent;
    for (int i = 0; i < kAlarms; ++i) {
        sent.push_back(random() % 3 == 0 ? kCancelCommand : kAlarmCommand);
        const auto result = sendFromB(QString::fromStdString(sent.back()));
        ASSERT_TRUE(result.finished && result.exitCode == 0) << qPrintable(result.errors);
    }

    const bool caughtUp = settled();
    std::vector<std::string> arrived;
    for (const auto& arrival : arrivals_->Poll()) {
        arrived.push_back(arrival.payload);
    }
    SCOPED_TRACE("sent:    " + joined(sent) + "\narrived: " + joined(arrived));
    EXPECT_TRUE(caughtUp) << "logged " << app_.Count(kAlertFromB) << " of " << arrived.size()
                          << " arrivals";
    EXPECT_NE(arrived, sent) << "the link lost, copied and reordered nothing";
    EXPECT_TRUE(std::count(arrived.begin(), arrived.end(), kAlarmCommand) > 0);
    expectNothingUnhandled();
    EXPECT_TRUE(app_.Running()) << qPrintable(app_.Errors());
    EXPECT_EQ(app_.Terminate(), 0) << qPrintable(app_.Errors());
}

TEST_F(NetworkFaults, OutlivesALinkAndAnAddressGoingAwayAndHearsAlarmsOnceTheyAreBack) {
    const QString link = TwoHosts::kInterfaceA;
    const QString address = QString(TwoHosts::kAddressA) + "/24";
    alarmArrives();

    inHostA({"ip", "link", "set", link, "down"});
    EXPECT_TRUE(app_.LivesFor(kLivesMs)) << qPrintable(app_.Errors());
    sendFromB(kAlarmCommand); // into a dead link: lost, whatever the peer was told
    inHostA({"ip", "link", "set", link, "up"});
    // Taking the link down took its routes; a network manager puts them back.
    inHostA({"ip", "route", "replace", "224.0.0.0/4", "dev", link});
    ASSERT_TRUE(WaitFor([&] {
        return hosts_->Run(Host::A, {"ip", "-o", "link", "show", link}).output.contains("LOWER_UP");
    })) << "no carrier after the link came back";
    alarmArrives();

    inHostA({"ip", "addr", "del", address, "dev", link});
    EXPECT_TRUE(app_.LivesFor(kLivesMs)) << qPrintable(app_.Errors());
    sendFromB(kCancelCommand); // multicast needs no address: this one may well arrive
    inHostA({"ip", "addr", "add", address, "dev", link});
    inHostA({"ip", "route", "replace", "224.0.0.0/4", "dev", link});
    alarmArrives();

    EXPECT_TRUE(settled()) << "logged " << app_.Count(kAlertFromB) << " of "
                           << arrivals_->Poll().size() << " arrivals";
    expectNothingUnhandled();
    EXPECT_EQ(app_.Terminate(), 0) << qPrintable(app_.Errors());
}

} // namespace
} // namespace tallybell::testing
