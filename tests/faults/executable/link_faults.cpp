#include "tests/faults/executable/link_faults.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallybell::testing {

namespace {

constexpr std::size_t kLargestPacket = 65535;
constexpr std::size_t kUdpHeader = 8;
constexpr int kReceiveBufferBytes = 4 << 20;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool runAll(const TwoHosts& hosts, const std::vector<QStringList>& commands, QString& failure) {
    for (const QStringList& command : commands) {
        const auto result = hosts.Run(TwoHosts::Host::B, command);
        if (!result.finished || result.exitCode != 0) {
            failure = command.join(' ') + ": " + result.errors.trimmed();
            return false;
        }
    }
    return true;
}

// Datagrams whose source port ends in the bits given, as a u32 match.
QStringList bySourcePort(const char* bits) {
    return {"u32", "match", "ip", "protocol", "17", "0xff", "match", "ip", "sport", bits, "0x3"};
}

std::vector<QStringList> withoutNetem(const QString& device) {
    const QStringList tc{"tc"};
    const QStringList root{"dev", device, "parent", "1:", "protocol", "ip"};
    return {
        tc + QStringList{"qdisc", "add", "dev", device, "root", "handle", "1:", "htb", "default",
                         "10"},
        tc + QStringList{"class", "add", "dev", device, "parent", "1:", "classid", "1:10", "htb",
                         "rate", "1gbit"},
        // About 25 ms a datagram, with no burst: what waits here is overtaken.
        tc + QStringList{"class", "add", "dev", device, "parent", "1:", "classid", "1:20", "htb",
                         "rate", "16kbit", "ceil", "16kbit", "burst", "1", "cburst", "1"},
        tc + QStringList{"class", "add", "dev", device, "parent", "1:", "classid", "1:30", "htb",
                         "rate", "1gbit"},
        tc + QStringList{"qdisc", "add", "dev", device, "parent", "1:30", "pfifo", "limit", "0"},
        tc + QStringList{"filter", "add"} + root + QStringList{"prio", "1"} + bySourcePort("1") +
            QStringList{"flowid", "1:20"},
        tc + QStringList{"filter", "add"} + root + QStringList{"prio", "2"} + bySourcePort("2") +
            QStringList{"flowid", "1:30"},
        // Before the root queue: a copy sent back through the same egress is copied again, as
        // often as the kernel lets mirred nest.
        tc + QStringList{"qdisc", "add", "dev", device, "clsact"},
        tc + QStringList{"filter", "add", "dev", device, "egress", "protocol", "ip", "prio", "3"} +
            bySourcePort("3") + QStringList{"action", "mirred", "egress", "mirror", "dev", device},
    };
}

} // namespace

QString ImpairLinkFromB(const TwoHosts& hosts, QString& failure) {
    const QString device = TwoHosts::kInterfaceB;
    const QStringList netem{"tc",  "qdisc",     "add", "dev",   device, "root",    "netem", "loss",
                            "25%", "duplicate", "25%", "delay", "30ms", "reorder", "75%"};
    if (runAll(hosts, {netem}, failure)) {
        return netem.join(' ');
    }
    const QString noNetem = failure;
    const std::vector<QStringList> commands = withoutNetem(device);
    if (!runAll(hosts, commands, failure)) {
        failure = "no netem (" + noNetem + "), and " + failure;
        return QString();
    }
    QStringList lines;
    for (const QStringList& command : commands) {
        lines << command.join(' ');
    }
    return lines.join('\n');
}

Arrivals::Arrivals(const char* source, std::uint16_t port) : port_(port), openedMs_(nowMs()) {
    in_addr address{};
    if (::inet_pton(AF_INET, source, &address) != 1) {
        error_ = std::string("not an IPv4 address: ") + source;
        return;
    }
    source_ = address.s_addr;
    fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd_ < 0) {
        error_ = std::string("raw socket: ") + std::strerror(errno);
        return;
    }
    // Only room is asked for: a capture that missed a datagram shows as a count that differs.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes,
                     sizeof kReceiveBufferBytes) != 0) {
        error_ = std::string("SO_RCVBUF: ") + std::strerror(errno);
    }
}

Arrivals::~Arrivals() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

const std::vector<Arrivals::Arrival>& Arrivals::Poll() {
    std::vector<unsigned char> packet(kLargestPacket);
    while (fd_ >= 0) {
        const ssize_t got = ::recv(fd_, packet.data(), packet.size(), MSG_DONTWAIT);
        if (got < 0) {
            break; // EAGAIN: all taken; anything else shows as a count that differs
        }
        const std::size_t length = static_cast<std::size_t>(got);
        const std::size_t header = std::size_t(packet[0] & 0x0F) * 4;
        if (length < header + kUdpHeader) {
            continue;
        }
        std::uint32_t from = 0;
        std::memcpy(&from, &packet[12], sizeof from);
        const std::uint16_t to = std::uint16_t(packet[header + 2] << 8 | packet[header + 3]);
        if (from != source_ || to != port_) {
            continue;
        }
        const auto* payload = reinterpret_cast<const char*>(&packet[header + kUdpHeader]);
        arrivals_.push_back({std::string(payload, length - header - kUdpHeader), nowMs()});
    }
    return arrivals_;
}

std::int64_t Arrivals::QuietMs() const {
    return nowMs() - (arrivals_.empty() ? openedMs_ : arrivals_.back().atMs);
}

} // namespace tallybell::testing
