#include "framework/udp_socket.h"
#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace fw {
namespace {

using tallybell::testing::TwoHosts;
using tallybell::testing::WaitFor;
using Host = TwoHosts::Host;

constexpr std::int64_t kPort = 40001;
constexpr const char* kPortText = "40001";
constexpr const char* kGroup = "239.1.2.4";

/// Reads every datagram; answers "ALARM" with "ACK,Bob" to its source, as the application does.
class AnsweringSocket : public UDPSocket {
public:
    std::vector<std::shared_ptr<Datagram>> received;

protected:
    void Event_DataAvailable() override {
        auto datagram = Read();
        received.push_back(datagram);
        if (datagram && datagram->Data == String("ALARM")) {
            Write(datagram->Address, "ACK,Bob");
        }
    }
};

std::shared_ptr<AnsweringSocket> joinedSocket() {
    auto socket = std::make_shared<AnsweringSocket>();
    socket->Port(kPort);
    socket->Connect();
    EXPECT_TRUE(socket->JoinMulticastGroup(kGroup)) << "errno " << socket->LastErrorCode();
    return socket;
}

QString peer() {
    return TwoHosts::Bin("tallybell-peer");
}

/// Waits until a started peer says its socket is bound; what it said so far goes to errors.
bool waitUntilListening(QProcess& process, QByteArray& errors) {
    return WaitFor([&] {
               errors += process.readAllStandardError();
               return errors.contains("listening on port") ||
                      process.state() == QProcess::NotRunning;
           }) &&
           errors.contains("listening on port");
}

/// Waits for a started peer to end; its standard output.
QString finish(QProcess& process) {
    EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(TwoHostsTest, PeersGroupDatagramArrivesFromThePeersAddress) {
    TwoHosts hosts;
    ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString();
    auto socket = joinedSocket();
    EXPECT_EQ(socket->LocalAddress(), String(TwoHosts::kAddressA)) << "the veth now leads there";

    const auto sent = hosts.Run(Host::B, {peer(), "send", "--group", kGroup, "--port", kPortText,
                                          "--payload", "ALARM_CANCEL"});
    ASSERT_EQ(sent.exitCode, 0) << sent.errors.toStdString();
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 1; }));
    EXPECT_EQ(Deref(socket->received[0]).Data, String("ALARM_CANCEL"));
    EXPECT_EQ(Deref(socket->received[0]).Address, String(TwoHosts::kAddressB));
}

TEST(TwoHostsTest, UnicastWriteReachesAListenerOnThePeer) {
    TwoHosts hosts;
    ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString();
    auto listener = hosts.Start(
        Host::B, {peer(), "listen", "--port", kPortText, "--count", "1", "--timeout-ms", "5000"});
    QByteArray said;
    ASSERT_TRUE(waitUntilListening(*listener, said)) << said.toStdString();

    auto socket = joinedSocket();
    socket->Write(TwoHosts::kAddressB, "ACK,Bob");
    EXPECT_EQ(finish(*listener), QString("from 198.18.0.1: ACK,Bob\n"));
}

TEST(TwoHostsTest, PeersAlarmIsAcknowledgedBackToIt) {
    TwoHosts hosts;
    ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString();
    auto socket = joinedSocket();
    auto alarm = hosts.Start(
        Host::B, {peer(), "alarm", "--group", kGroup, "--port", kPortText, "--timeout-ms", "5000"});
    EXPECT_EQ(finish(*alarm), QString("from 198.18.0.1: ACK,Bob\n"));
    ASSERT_EQ(socket->received.size(), 1u);
    EXPECT_EQ(Deref(socket->received[0]).Address, String(TwoHosts::kAddressB));
}

// Over loopback every group datagram comes back whatever SendToSelf says; a real link shows it.
TEST(TwoHostsTest, SendToSelfAndRouterHopsTakeEffectWhenSetAfterConnect) {
    TwoHosts hosts;
    ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString();
    auto listener = hosts.Start(Host::B, {peer(), "listen", "--port", kPortText, "--group", kGroup,
                                          "--count", "1", "--timeout-ms", "5000"});
    QByteArray said;
    ASSERT_TRUE(waitUntilListening(*listener, said)) << said.toStdString();
    auto socket = joinedSocket();

    socket->SendToSelf(true);
    socket->RouterHops(0);
    socket->Write(kGroup, "looped, kept on this host");
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 1; }));

    socket->SendToSelf(false);
    socket->RouterHops(1);
    socket->Write(kGroup, "not looped, sent out");
    socket->Write(TwoHosts::kAddressA, "marker");
    EXPECT_EQ(finish(*listener), QString("from 198.18.0.1: not looped, sent out\n"));
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() >= 2; }));
    std::vector<std::string> payloads;
    for (const auto& datagram : socket->received) {
        payloads.push_back(Deref(datagram).Data.Bytes());
    }
    EXPECT_EQ(payloads, (std::vector<std::string>{"looped, kept on this host", "marker"}));

    socket->RouterHops(300);
    EXPECT_EQ(socket->LastErrorCode(), EINVAL) << "the kernel's refusal is recorded";
}

TEST(TwoHostsTest, TwoChildHostsReachEachOtherButNotThisNamespace) {
    TwoHosts hosts(TwoHosts::Layout::TwoChildren);
    ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString();
    QProcess here;
    here.start("ip", {"link", "show", TwoHosts::kInterfaceA});
    ASSERT_TRUE(here.waitForFinished());
    EXPECT_NE(here.exitCode(), 0) << "the veth belongs to the two children only";

    auto listener = hosts.Start(
        Host::B, {peer(), "listen", "--port", kPortText, "--count", "1", "--timeout-ms", "5000"});
    QByteArray said;
    ASSERT_TRUE(waitUntilListening(*listener, said)) << said.toStdString();
    const auto sent = hosts.Run(Host::A, {peer(), "send", "--group", TwoHosts::kAddressB, "--port",
                                          kPortText, "--payload", "hello"});
    ASSERT_EQ(sent.exitCode, 0) << sent.errors.toStdString();
    EXPECT_EQ(finish(*listener), QString("from 198.18.0.1: hello\n"));
}

} // namespace
} // namespace fw
