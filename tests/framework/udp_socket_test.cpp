#include "framework/core/udp_socket.h"
#include "tests/support/two_hosts.h"
#include "tests/support/udp_sender.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fw {
namespace {

using tallybell::testing::TwoHosts;
using tallybell::testing::UdpSender;
using tallybell::testing::WaitFor;
using Host = TwoHosts::Host;

constexpr std::int64_t kPort = 40001;
constexpr const char* kPortText = "40001";
constexpr const char* kGroup = "239.1.2.4";
constexpr std::size_t kLargestPayload = 65507;

/// A socket whose events a test can watch and steer; by default each event reads one datagram.
class ProbeSocket : public UDPSocket {
public:
    std::function<void(ProbeSocket&)> onData = [](ProbeSocket& s) {
        s.received.push_back(s.Read());
    };
    std::vector<std::shared_ptr<Datagram>> received;
    std::vector<std::int64_t> errors;
    int dataEvents = 0;

    std::vector<std::string> payloads() const {
        std::vector<std::string> texts;
        for (const auto& datagram : received) {
            texts.push_back(datagram ? datagram->Data.Bytes() : "<Nil>");
        }
        return texts;
    }

protected:
    void Event_DataAvailable() override {
        ++dataEvents;
        if (onData) {
            onData(*this);
        }
    }
    void Event_Error(std::int64_t code) override { errors.push_back(code); }
};

std::shared_ptr<ProbeSocket> connectedSocket(std::int64_t port = kPort) {
    auto socket = std::make_shared<ProbeSocket>();
    socket->Port(port);
    socket->SendToSelf(true);
    socket->Connect();
    EXPECT_TRUE(socket->IsBound()) << "errno " << socket->LastErrorCode();
    return socket;
}

std::shared_ptr<ProbeSocket> joinedSocket() {
    auto socket = connectedSocket();
    EXPECT_TRUE(socket->JoinMulticastGroup(kGroup)) << "errno " << socket->LastErrorCode();
    return socket;
}

// Lets every event that is already due run, without waiting for anything new.
void drainEvents() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
}

TEST(UDPSocketTest, GroupDatagramIsReadWithItsPayloadAndDottedSource) {
    auto socket = joinedSocket();
    UdpSender fromLoopback("127.0.0.1");
    UdpSender fromOther("127.0.0.2");
    ASSERT_TRUE(fromLoopback.Send(kGroup, kPort, "ALARM")) << fromLoopback.Error();
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 1; }));
    ASSERT_TRUE(fromOther.Send(kGroup, kPort, "ALARM_CANCEL")) << fromOther.Error();
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 2; }));

    const Datagram& first = Deref(socket->received[0]);
    EXPECT_EQ(first.Data, String("ALARM"));
    EXPECT_EQ(first.Data.Encoding(), nullptr) << "read without an encoding";
    EXPECT_EQ(first.Address, String("127.0.0.1"));
    EXPECT_EQ(first.Port, fromLoopback.Port());
    EXPECT_EQ(Deref(socket->received[1]).Address, String("127.0.0.2"));
    EXPECT_EQ(socket->Read(), nullptr) << "nothing waits any more";
    EXPECT_TRUE(socket->errors.empty());
}

TEST(UDPSocketTest, JoinRefusesAnUnboundSocketAndWhatIsNotAMulticastGroup) {
    ProbeSocket unbound;
    EXPECT_FALSE(unbound.JoinMulticastGroup(kGroup));

    auto socket = connectedSocket();
    const std::string withNul("239.1.2.4\0junk", 14);
    for (const std::string& group :
         {std::string("10.0.0.1"), std::string("127.0.0.1"), std::string("hello"), std::string(""),
          std::string("239.1.2"), std::string("239.1.2.4 "), std::string("ff02::1"), withNul}) {
        SCOPED_TRACE(group);
        EXPECT_FALSE(socket->JoinMulticastGroup(String(group)));
        EXPECT_NE(socket->LastErrorCode(), 0);
    }
    EXPECT_TRUE(socket->JoinMulticastGroup(kGroup)) << "a refused join leaves the socket usable";
}

TEST(UDPSocketTest, HandlerThatReadsNothingIsNotRaisedAgainUntilTheNextRead) {
    auto socket = joinedSocket();
    socket->onData = nullptr;
    UdpSender sender;
    ASSERT_TRUE(sender.Send(kGroup, kPort, "one"));
    ASSERT_TRUE(sender.Send(kGroup, kPort, "two"));
    ASSERT_TRUE(WaitFor([&] { return socket->dataEvents == 1; }));
    drainEvents();
    EXPECT_EQ(socket->dataEvents, 1) << "no busy loop on a datagram nobody reads";

    EXPECT_EQ(Deref(socket->Read()).Data, String("one"));
    EXPECT_TRUE(WaitFor([&] { return socket->dataEvents == 2; })) << "\"two\" still waits";
}

TEST(UDPSocketTest, LargestAndEmptyPayloadsArriveWhole) {
    auto socket = joinedSocket();
    std::string largest(kLargestPayload, '\0');
    for (std::size_t i = 0; i < largest.size(); ++i) {
        largest[i] = static_cast<char>(i * 7 + 3);
    }
    UdpSender sender;
    ASSERT_TRUE(sender.Send(kGroup, kPort, largest)) << sender.Error();
    ASSERT_TRUE(sender.Send(kGroup, kPort, "")) << sender.Error();
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 2; }));
    EXPECT_TRUE(Deref(socket->received[0]).Data.Bytes() == largest) << "65,507 bytes, unchanged";
    EXPECT_TRUE(Deref(socket->received[1]).Data.IsEmpty()) << "an empty datagram, not Nil";
}

TEST(UDPSocketTest, AWriteTheKernelRefusesSendsNothingRaisesErrorAndAnswersFalse) {
    ProbeSocket unbound;
    EXPECT_FALSE(unbound.Write("127.0.0.1", "ACK,Bob"));
    EXPECT_EQ(unbound.errors.size(), 1u);

    auto socket = connectedSocket();
    for (const char* address : {"", "not-an-address", "::1", "300.1.1.1", "127.0.0.1 "}) {
        SCOPED_TRACE(address);
        const std::size_t before = socket->errors.size();
        EXPECT_FALSE(socket->Write(address, "ACK,Bob"));
        EXPECT_EQ(socket->errors.size(), before + 1);
        EXPECT_NE(socket->LastErrorCode(), 0);
    }
    EXPECT_FALSE(socket->Write("127.0.0.1", std::string(kLargestPayload + 1, 'x')));
    EXPECT_EQ(socket->LastErrorCode(), EMSGSIZE);
    EXPECT_EQ(socket->LastErrorMessage(), String(std::strerror(EMSGSIZE)));
    // A usable address reaches our own port, so a datagram from any failed write would come first.
    EXPECT_TRUE(socket->Write("127.0.0.1", "ACK,Ann"));
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 1; }));
    EXPECT_EQ(Deref(socket->received[0]).Data, String("ACK,Ann"));
    EXPECT_EQ(Deref(socket->received[0]).Port, kPort) << "sent from and to the socket's own port";
}

// Another program on this host in another group must not reach us through our port.
TEST(UDPSocketTest, ASocketHearsOnlyTheGroupsItJoinedAndUnicastToItsPort) {
    auto socket = joinedSocket();
    auto other = connectedSocket(kPort + 1);
    ASSERT_TRUE(other->JoinMulticastGroup("239.9.9.9"));
    UdpSender sender("127.0.0.2");
    ASSERT_TRUE(sender.Send("239.9.9.9", kPort, "ALARM")) << sender.Error();
    ASSERT_TRUE(sender.Send("127.0.0.1", kPort, "unicast")) << sender.Error();
    ASSERT_TRUE(sender.Send(kGroup, kPort, "joined")) << sender.Error();
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() >= 2; }));
    drainEvents();
    EXPECT_EQ(socket->payloads(), (std::vector<std::string>{"unicast", "joined"}));
}

// The descriptor of this process's UDP socket bound to port, found by asking each one; -1 when
// there is none.
int descriptorBoundTo(std::int64_t port) {
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0 &&
            bound.sin_family == AF_INET && ntohs(bound.sin_port) == port &&
            ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type == SOCK_DGRAM) {
            return fd;
        }
    }
    return -1;
}

// In this test's own namespace: the ip tool changes only what the test made.
void ip(const std::string& arguments) {
    ASSERT_EQ(std::system(("ip " + arguments).c_str()), 0) << arguments;
}

// Connected means listening to a group that still reaches it: a socket that joined nothing, or
// whose receive failed, hears no alarm.
TEST(UDPSocketTest, ConnectedTakesAMembershipAndNoFailedReceive) {
    auto socket = connectedSocket();
    EXPECT_FALSE(socket->IsConnected()) << "bound, but no group joined";
    ASSERT_TRUE(socket->JoinMulticastGroup(kGroup));
    EXPECT_TRUE(socket->IsConnected());
    socket->LeaveMulticastGroup(kGroup);
    EXPECT_FALSE(socket->IsConnected());
    ASSERT_TRUE(socket->JoinMulticastGroup(kGroup));
    ASSERT_TRUE(socket->IsConnected());

    // A datagram of its own to a closed port comes back as "port unreachable", which the
    // kernel, asked to report such errors, hands to the next receive.
    const int fd = descriptorBoundTo(kPort);
    ASSERT_GE(fd, 0);
    const int on = 1;
    ASSERT_EQ(::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on), 0);
    sockaddr_in closed{};
    closed.sin_family = AF_INET;
    closed.sin_port = htons(9);
    closed.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::sendto(fd, "x", 1, 0, reinterpret_cast<const sockaddr*>(&closed), sizeof closed),
              1);
    ASSERT_TRUE(WaitFor([&] {
        pollfd waiting{fd, POLLERR, 0};
        return ::poll(&waiting, 1, 0) == 1;
    }));
    EXPECT_EQ(socket->Read(), nullptr);
    EXPECT_EQ(socket->errors, std::vector<std::int64_t>{ECONNREFUSED});
    EXPECT_TRUE(socket->IsBound());
    EXPECT_FALSE(socket->IsConnected());
}

// The LAN moves to another interface while the first stays (a dock, Wi-Fi to Ethernet): the
// membership on the first no longer delivers, and another socket's membership on the new one is
// not this socket's. Once the route is back, so is the membership. With no route at all, nothing
// is connected and no join succeeds.
TEST(UDPSocketTest, AMembershipOffTheGroupsRouteIsNotConnected) {
    auto socket = joinedSocket();
    ASSERT_TRUE(socket->IsConnected());
    ip("link add tb-moved type veth peer name tb-moved-peer");
    ip("link set tb-moved multicast on up");
    ip("link set tb-moved-peer up");
    ip("route replace 224.0.0.0/4 dev tb-moved");
    EXPECT_FALSE(socket->IsConnected()) << "the route to the group left the interface it joined";

    auto moved = connectedSocket(kPort + 1);
    ASSERT_TRUE(moved->JoinMulticastGroup(kGroup));
    EXPECT_TRUE(moved->IsConnected()) << "joined where the route leads now";
    EXPECT_FALSE(socket->IsConnected());

    ip("route replace 224.0.0.0/4 dev lo");
    EXPECT_FALSE(moved->IsConnected());
    EXPECT_TRUE(socket->IsConnected()) << "back where it joined";

    ip("route del 224.0.0.0/4 dev lo");
    EXPECT_FALSE(socket->IsConnected());
    socket.reset();
    auto nowhere = connectedSocket();
    EXPECT_FALSE(nowhere->JoinMulticastGroup(kGroup));
    EXPECT_FALSE(nowhere->IsConnected());
}

TEST(UDPSocketTest, OnlyAGroupsAddressIsAMulticastGroup) {
    for (const char* group : {"224.0.0.0", "224.0.0.1", "239.1.2.4", "239.255.255.255"}) {
        EXPECT_TRUE(IsMulticastGroup(group)) << group;
    }
    for (const char* none : {"223.255.255.255", "240.0.0.0", "10.0.0.1", "", "::1", "ff02::1",
                             "239.1.2.4 ", "239.1.2"}) {
        EXPECT_FALSE(IsMulticastGroup(none)) << none;
    }
}

TEST(UDPSocketTest, OnlyTheAddressOfOneHostIsUnicast) {
    for (const char* host : {"127.0.0.1", "198.18.0.2", "10.0.0.255", "223.255.255.254"}) {
        EXPECT_TRUE(IsUnicastAddress(host)) << host;
    }
    for (const char* none : {"0.0.0.0", "0.1.2.3", "224.0.0.1", "239.1.2.4", "240.0.0.1",
                             "255.255.255.255", "", "::1", "host"}) {
        EXPECT_FALSE(IsUnicastAddress(none)) << none;
    }
}

TEST(UDPSocketTest, SocketReleasedInsideItsOwnHandlerIsFreedSafelyAndFreesItsPort) {
    auto socket = joinedSocket();
    std::weak_ptr<ProbeSocket> watch = socket;
    int handled = 0;
    socket->onData = [&](ProbeSocket& self) {
        ++handled;
        self.Read();
        socket.reset(); // the last reference, as when the watchdog replaces the socket
    };
    UdpSender sender;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(sender.Send(kGroup, kPort, "ALARM"));
    }
    ASSERT_TRUE(WaitFor([&] { return watch.expired(); }));
    drainEvents();
    EXPECT_EQ(handled, 1);

    auto replacement = joinedSocket();
    ASSERT_TRUE(sender.Send(kGroup, kPort, "ALARM"));
    EXPECT_TRUE(WaitFor([&] { return replacement->received.size() == 1; }));
}

TEST(UDPSocketTest, CloseInsideTheHandlerStopsFurtherEvents) {
    auto socket = joinedSocket();
    socket->onData = [](ProbeSocket& self) {
        self.received.push_back(self.Read());
        self.Close();
    };
    UdpSender sender;
    ASSERT_TRUE(sender.Send(kGroup, kPort, "one"));
    ASSERT_TRUE(sender.Send(kGroup, kPort, "two"));
    ASSERT_TRUE(WaitFor([&] { return socket->dataEvents == 1; }));
    drainEvents();
    EXPECT_EQ(socket->dataEvents, 1);
    EXPECT_FALSE(socket->IsBound());
    EXPECT_FALSE(socket->IsConnected());
    EXPECT_EQ(socket->Read(), nullptr);
}

// Over a real link, a veth pair to a peer in a second network namespace: what loopback hides.
class UDPSocketOverALink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hosts.IsReady()) << hosts.Failure().toStdString(); }

    /// Starts the alarm test peer in host B with arguments.
    std::unique_ptr<QProcess> peer(const QStringList& arguments) {
        return hosts.Start(Host::B, QStringList{TwoHosts::Bin("tallybell-peer")} + arguments);
    }

    /// Waits for a started peer to end; its standard output.
    static QString finish(QProcess& process) {
        EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    TwoHosts hosts;
};

// The local address is what the application compares a sender with to tell its own alarms.
TEST_F(UDPSocketOverALink, APeersAlarmComesFromItsAddressAndAWriteAnswersIt) {
    auto socket = connectedSocket();
    EXPECT_EQ(socket->LocalAddress(), String("")) << "no group joined yet";
    ASSERT_TRUE(socket->JoinMulticastGroup(kGroup));
    EXPECT_EQ(socket->LocalAddress(), String(TwoHosts::kAddressA))
        << "the group's route is the link";
    socket->onData = [](ProbeSocket& self) {
        const auto datagram = self.Read();
        self.received.push_back(datagram);
        self.Write(Deref(datagram).Address, "ACK,Bob");
    };
    auto alarm = peer({"alarm", "--group", kGroup, "--port", kPortText, "--timeout-ms", "5000"});
    EXPECT_EQ(finish(*alarm), QString("from 198.18.0.1: ACK,Bob\n"));
    EXPECT_EQ(socket->payloads(), std::vector<std::string>{"ALARM"});
    EXPECT_EQ(Deref(socket->received[0]).Address, String(TwoHosts::kAddressB));
    socket->LeaveMulticastGroup(kGroup);
    EXPECT_EQ(socket->LocalAddress(), String(""));
}

// Over loopback every group datagram comes back whatever SendToSelf says; a real link shows it.
TEST_F(UDPSocketOverALink, SendToSelfAndRouterHopsTakeEffectWhenSetAfterConnect) {
    auto listener = peer(
        {"listen", "--port", kPortText, "--group", kGroup, "--count", "1", "--timeout-ms", "5000"});
    QByteArray said;
    ASSERT_TRUE(WaitFor([&] {
                    said += listener->readAllStandardError();
                    return said.contains("listening on port") ||
                           listener->state() == QProcess::NotRunning;
                }) &&
                said.contains("listening on port"))
        << said.toStdString();
    auto socket = joinedSocket();

    socket->SendToSelf(true);
    socket->RouterHops(0);
    socket->Write(kGroup, "looped, kept on this host");
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() == 1; }));
    EXPECT_EQ(Deref(socket->received[0]).Address, socket->LocalAddress()) << "this host's own";

    socket->SendToSelf(false);
    socket->RouterHops(1);
    socket->Write(kGroup, "not looped, sent out");
    socket->Write(TwoHosts::kAddressA, "marker");
    EXPECT_EQ(finish(*listener), QString("from 198.18.0.1: not looped, sent out\n"));
    ASSERT_TRUE(WaitFor([&] { return socket->received.size() >= 2; }));
    EXPECT_EQ(socket->payloads(),
              (std::vector<std::string>{"looped, kept on this host", "marker"}));

    socket->RouterHops(300);
    EXPECT_EQ(socket->LastErrorCode(), EINVAL) << "the kernel's refusal is recorded";
}

} // namespace
} // namespace fw
