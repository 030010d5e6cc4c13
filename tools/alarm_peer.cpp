// tallybell-peer: the other end of an alarm, for tests. It raises alarms on a multicast group and
// prints the datagrams that come back. Plain POSIX sockets, so it tests the application rather
// than sharing its framework.
//
//   tallybell-peer send   --group G --port P --payload TEXT [--count N] [--ttl N]
//   tallybell-peer listen --port P [--group G] [--timeout-ms N] [--count N]
//   tallybell-peer alarm  --group G --port P [--payload TEXT] [--timeout-ms N] [--count N] [--ttl
//   N]
//
// --group of send may be any IPv4 address; listen joins the group when given one.
// Every datagram printed is one line "from <addr>: <payload>" on standard output. A listening
// command says "listening on port P" on standard error once it is ready to receive.
// Exit status: 0 done, 1 the timeout ended before --count datagrams came, 2 bad use or a socket
// error.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitTimeout = 1;
constexpr int kExitFailure = 2;
constexpr long kDefaultTimeoutMs = 5000;
constexpr long kMaxCount = 1000000;
constexpr std::size_t kMaxPayload = 65535;
constexpr const char* kAckPrefix = "ACK,";

struct Options {
    std::string command;
    std::string group;
    std::string payload = "ALARM";
    long port = 0;
    long count = 0; // 0: no limit (listen) or the command's default
    long ttl = 1;
    long timeoutMs = kDefaultTimeoutMs;
};

int usage(const char* why) {
    std::fprintf(stderr,
                 "tallybell-peer: %s\n"
                 "usage: tallybell-peer send --group G --port P --payload TEXT [--count N] "
                 "[--ttl N]\n"
                 "       tallybell-peer listen --port P [--group G] [--timeout-ms N] [--count N]\n"
                 "       tallybell-peer alarm --group G --port P [--payload TEXT] "
                 "[--timeout-ms N] [--count N] [--ttl N]\n",
                 why);
    return kExitFailure;
}

int failure(const char* what) {
    std::fprintf(stderr, "tallybell-peer: %s: %s\n", what, std::strerror(errno));
    return kExitFailure;
}

bool parseNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    if (argc < 2) {
        return false;
    }
    options.command = argv[1];
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) {
            return false;
        }
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--group") {
            options.group = value;
        } else if (name == "--payload") {
            options.payload = value;
        } else if (name == "--port") {
            if (!parseNumber(value, 1, 65535, options.port)) {
                return false;
            }
        } else if (name == "--count") {
            if (!parseNumber(value, 1, kMaxCount, options.count)) {
                return false;
            }
        } else if (name == "--ttl") {
            if (!parseNumber(value, 0, 255, options.ttl)) {
                return false;
            }
        } else if (name == "--timeout-ms") {
            if (!parseNumber(value, 0, 24L * 3600 * 1000, options.timeoutMs)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return options.port != 0;
}

sockaddr_in addressOf(in_addr host, long port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = host;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

/// A UDP socket, bound to port on every address when port is not 0; -1 on failure (reported).
int openSocket(long port, long ttl) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        failure("socket");
        return -1;
    }
    const int hops = static_cast<int>(ttl);
    if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0) {
        failure("IP_MULTICAST_TTL");
        ::close(fd);
        return -1;
    }
    if (port != 0) {
        const sockaddr_in any = addressOf(in_addr{htonl(INADDR_ANY)}, port);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
            failure("bind");
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool joinGroup(int fd, const std::string& group) {
    ip_mreq request{};
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr) != 1) {
        usage("--group needs a dotted IPv4 address");
        return false;
    }
    if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        failure("IP_ADD_MEMBERSHIP");
        return false;
    }
    return true;
}

int sendTo(int fd, const Options& options, long count) {
    in_addr group{};
    if (::inet_pton(AF_INET, options.group.c_str(), &group) != 1) {
        return usage("--group needs a dotted IPv4 address");
    }
    const sockaddr_in to = addressOf(group, options.port);
    for (long i = 0; i < count; ++i) {
        const ssize_t sent = ::sendto(fd, options.payload.data(), options.payload.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent < 0 || static_cast<std::size_t>(sent) != options.payload.size()) {
            return failure("sendto");
        }
    }
    return kExitDone;
}

/// Prints datagrams that pass the filter until count of them came (0: no limit) or timeoutMs ran
/// out.
int receive(int fd, const Options& options, long count, bool acksOnly) {
    std::fprintf(stderr, "listening on port %ld\n", options.port);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    static char buffer[kMaxPayload];
    long printed = 0;
    while (count == 0 || printed < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return count == 0 ? kExitDone : kExitTimeout;
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            return failure("poll");
        }
        if (ready <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t size = ::recvfrom(fd, buffer, sizeof buffer, 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size < 0) {
            return failure("recvfrom");
        }
        const std::string payload(buffer, static_cast<std::size_t>(size));
        if (acksOnly && payload.rfind(kAckPrefix, 0) != 0) {
            continue;
        }
        char source[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
        std::printf("from %s: ", source);
        std::fwrite(payload.data(), 1, payload.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        ++printed;
    }
    return kExitDone;
}

int run(const Options& options) {
    const bool sending = options.command == "send";
    const bool listening = options.command == "listen";
    const bool alarming = options.command == "alarm";
    if (!sending && !listening && !alarming) {
        return usage("unknown command");
    }
    if (!listening && options.group.empty()) {
        return usage("--group is required");
    }
    const int fd = openSocket(sending ? 0 : options.port, options.ttl);
    if (fd < 0) {
        return kExitFailure;
    }
    int status = kExitDone;
    if (sending) {
        status = sendTo(fd, options, options.count == 0 ? 1 : options.count);
    } else if (listening) {
        const bool joined = options.group.empty() || joinGroup(fd, options.group);
        status = joined ? receive(fd, options, options.count, false) : kExitFailure;
    } else {
        status = sendTo(fd, options, 1);
        if (status == kExitDone) {
            status = receive(fd, options, options.count == 0 ? 1 : options.count, true);
        }
    }
    ::close(fd);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        return usage("bad or missing options");
    }
    return run(options);
}
