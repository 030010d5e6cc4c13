// tallybell-bench-minimal-receiver: the least a receiver of alarms can do, as the benchmarks'
// yardstick. It joins the group as the application does (same port, no address reuse, the same
// receive buffer request) and, in a plain blocking loop, writes one line per datagram to standard
// error in the application's words, so both are timed the same way.
//
//   tallybell-bench-minimal-receiver --group G --port P [--max-seconds N]

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr long kDefaultMaxSeconds = 1800;
constexpr std::size_t kMaxPayload = 65535;
// What the framework asks for, so a burst meets the same buffer in both receivers.
constexpr int kReceiveBufferBytes = 1 << 20;

int fail(const char* what) {
    std::fprintf(stderr, "tallybell-bench-minimal-receiver: %s: %s\n", what, std::strerror(errno));
    return 2;
}

void line(const std::string& text) {
    const std::string out = text + "\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, out.data(), out.size());
}

std::int64_t nowSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec;
}

} // namespace

int main(int argc, char** argv) {
    std::string group = "239.1.2.4";
    long port = 40001;
    long maxSeconds = kDefaultMaxSeconds;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--group") {
            group = argv[i + 1];
        } else if (name == "--port") {
            port = std::strtol(argv[i + 1], nullptr, 10);
        } else if (name == "--max-seconds") {
            maxSeconds = std::strtol(argv[i + 1], nullptr, 10);
        }
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return fail("socket");
    }
    const int buffer = kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer) != 0) {
        return fail("SO_RCVBUF");
    }
    // Woken once a second to see the deadline, so it never outlives a lost benchmark.
    const timeval slice{1, 0};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice) != 0) {
        return fail("SO_RCVTIMEO");
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        return fail("bind");
    }
    ip_mreq request{};
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr) != 1 ||
        ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        return fail("IP_ADD_MEMBERSHIP");
    }
    line("Joined multicast group " + group + ":" + std::to_string(port));

    static char payload[kMaxPayload];
    const std::int64_t deadline = nowSeconds() + maxSeconds;
    while (nowSeconds() < deadline) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got =
            ::recvfrom(fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return fail("recvfrom");
        }
        char source[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
        line(std::string("Alert recieved from ") + source);
    }
    ::close(fd);
    return 0;
}
