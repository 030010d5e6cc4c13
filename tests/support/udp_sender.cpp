#include "tests/support/udp_sender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallybell::testing {

namespace {
std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

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
