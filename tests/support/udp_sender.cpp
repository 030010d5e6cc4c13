#include "tests/support/udp_sender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tallybell::testing {

namespace {
std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
std::uint16_t headerChecksum(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        sum += (bytes[i] << 8) | bytes[i + 1];
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return htons(static_cast<std::uint16_t>(~sum));
}

// An IPv4 header and a UDP header (no checksum, which UDP allows) before the payload.
std::vector<std::uint8_t> ipDatagram(in_addr from, in_addr to, std::uint16_t port,
                                     const std::string& payload) {
    std::vector<std::uint8_t> bytes(sizeof(iphdr) + sizeof(udphdr) + payload.size());
    auto* ip = reinterpret_cast<iphdr*>(bytes.data());
    ip->version = 4;
    ip->ihl = 5;
    ip->ttl = 1;
    ip->protocol = IPPROTO_UDP;
    ip->tot_len = htons(static_cast<std::uint16_t>(bytes.size()));
    ip->saddr = from.s_addr;
    ip->daddr = to.s_addr;
    ip->check = headerChecksum(bytes.data(), sizeof(iphdr));
    auto* udp = reinterpret_cast<udphdr*>(bytes.data() + sizeof(iphdr));
    udp->source = htons(port);
    udp->dest = htons(port);
    udp->len = htons(static_cast<std::uint16_t>(sizeof(udphdr) + payload.size()));
    std::memcpy(bytes.data() + sizeof(iphdr) + sizeof(udphdr), payload.data(), payload.size());
    return bytes;
}

std::string sendRaw(const std::vector<std::uint8_t>& datagram, in_addr to) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (fd < 0) {
        return failure("raw socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = to;
    const bool sent = ::sendto(fd, datagram.data(), datagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&address), sizeof address) > 0;
    std::string error = sent ? std::string() : failure("raw sendto");
    ::close(fd);
    return error;
}

// Loopback frames carry an Ethernet header of zeros.
std::string sendFrameOnLoopback(const std::vector<std::uint8_t>& datagram) {
    const int fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_IP));
    if (fd < 0) {
        return failure("packet socket");
    }
    std::vector<std::uint8_t> frame(sizeof(ether_header));
    reinterpret_cast<ether_header*>(frame.data())->ether_type = htons(ETH_P_IP);
    frame.insert(frame.end(), datagram.begin(), datagram.end());
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_IP);
    link.sll_ifindex = static_cast<int>(::if_nametoindex("lo"));
    link.sll_halen = ETH_ALEN;
    const bool sent = ::sendto(fd, frame.data(), frame.size(), 0,
                               reinterpret_cast<const sockaddr*>(&link), sizeof link) > 0;
    std::string error = sent ? std::string() : failure("packet sendto");
    ::close(fd);
    return error;
}

} // namespace

std::string SendForged(const std::string& source, const std::string& address, std::uint16_t port,
                       const std::string& payload) {
    in_addr from{};
    in_addr to{};
    if (::inet_pton(AF_INET, source.c_str(), &from) != 1 ||
        ::inet_pton(AF_INET, address.c_str(), &to) != 1) {
        return "not IPv4 addresses: " + source + ", " + address;
    }
    const auto datagram = ipDatagram(from, to, port, payload);
    return from.s_addr == 0 ? sendFrameOnLoopback(datagram) : sendRaw(datagram, to);
}

UdpSender::UdpSender(const std::string& source, int ttl) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error_ = failure("socket");
        return;
    }
    if (::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        error_ = failure("IP_MULTICAST_TTL");
        return;
    }
    sockaddr_in from{};
    from.sin_family = AF_INET;
    if (!source.empty() && ::inet_pton(AF_INET, source.c_str(), &from.sin_addr) != 1) {
        error_ = "not an IPv4 address: " + source;
        return;
    }
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
        error_ = failure("bind");
    }
}

UdpSender::~UdpSender() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool UdpSender::Send(const std::string& address, std::uint16_t port, const std::string& payload) {
    if (!error_.empty()) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) {
        error_ = "not an IPv4 address: " + address;
        return false;
    }
    const ssize_t sent = ::sendto(fd_, payload.data(), payload.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0 || static_cast<std::size_t>(sent) != payload.size()) {
        error_ = failure("sendto");
        return false;
    }
    return true;
}

std::uint16_t UdpSender::Port() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

} // namespace tallybell::testing
