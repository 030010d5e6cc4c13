// tallybell-bench-peer: the alarm sender's end for the benchmarks, run in the peer's network
// namespace. Like tallybell-peer it uses plain POSIX sockets; unlike it, it stays up, takes its
// orders line by line on standard input and stamps everything it does with CLOCK_MONOTONIC (one
// clock for all namespaces), so the benchmark can time a datagram from the moment it leaves.
//
//   tallybell-bench-peer --group G --port P [--max-seconds N]
//
// Orders (standard input):            Answers (standard output):
//   send <payload>                      sent <ns>            (the clock just before sendto)
//   burst <count>                       burst <sent> <failed> <first ns> <last ns>
//   paced <count> <interval µs>         the same
//   quit
// Every datagram that reaches the port:  recv <ns> <source> <payload>
// "ready" once the socket is bound. It ends on quit, at the end of its input, or after
// --max-seconds (default 1800), so it never outlives a benchmark that lost it.

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kDefaultMaxSeconds = 1800;
constexpr std::size_t kMaxPayload = 65535;
constexpr int kPollSliceMs = 1000;
constexpr long kMaxCount = 10000000;

std::int64_t nowNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void say(const std::string& line) {
    const std::string out = line + "\n";
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, out.data() + done, out.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            std::exit(2); // nobody reads us any more
        }
        done += static_cast<std::size_t>(written);
    }
}

/// The burst's mixture: the two commands, near misses, an acknowledgement, an empty datagram
/// and one near the link's MTU. Each is logged by the receiver all the same.
std::vector<std::string> burstPayloads() {
    return {"ALARM", "ALARM_CANCEL", "hello", "ALARM ",           "",
            "ALARM", "ALARM_CANCEL", "alarm", "ACK,Someone Else", std::string(1400, 'x')};
}

struct Peer {
    int fd = -1;
    sockaddr_in group{};

    bool sendOne(const std::string& payload) {
        ssize_t sent = -1;
        do {
            sent = ::sendto(fd, payload.data(), payload.size(), 0,
                            reinterpret_cast<const sockaddr*>(&group), sizeof group);
        } while (sent < 0 && errno == EINTR);
        return sent == static_cast<ssize_t>(payload.size());
    }

    void burst(long count, long intervalUs) {
        const std::vector<std::string> payloads = burstPayloads();
        long sent = 0;
        long failed = 0;
        const std::int64_t first = nowNs();
        for (long i = 0; i < count; ++i) {
            if (intervalUs > 0) {
                const std::int64_t due = first + std::int64_t(i) * intervalUs * 1000;
                timespec at{static_cast<time_t>(due / 1000000000),
                            static_cast<long>(due % 1000000000)};
                while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
                }
            }
            (sendOne(payloads[static_cast<std::size_t>(i) % payloads.size()]) ? sent : failed)++;
        }
        const std::int64_t last = nowNs();
        say("burst " + std::to_string(sent) + " " + std::to_string(failed) + " " +
            std::to_string(first) + " " + std::to_string(last));
    }

    void receive() {
        static char buffer[kMaxPayload];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &length);
        const std::int64_t at = nowNs();
        if (got < 0) {
            return;
        }
        char source[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
        say("recv " + std::to_string(at) + " " + source + " " +
            std::string(buffer, static_cast<std::size_t>(got)));
    }

    /// One order; false on quit.
    bool obey(const std::string& order) {
        long count = 0;
        long interval = 0;
        if (order.rfind("send ", 0) == 0) {
            const std::string payload = order.substr(5);
            const std::int64_t at = nowNs();
            if (!sendOne(payload)) {
                say(std::string("error sendto ") + std::strerror(errno));
                return true;
            }
            say("sent " + std::to_string(at));
        } else if (std::sscanf(order.c_str(), "burst %ld", &count) == 1 && count > 0 &&
                   count <= kMaxCount) {
            burst(count, 0);
        } else if (std::sscanf(order.c_str(), "paced %ld %ld", &count, &interval) == 2 &&
                   count > 0 && count <= kMaxCount && interval >= 0) {
            burst(count, interval);
        } else if (order == "quit") {
            return false;
        } else {
            say("error unknown order: " + order);
        }
        return true;
    }
};

int fail(const char* what) {
    std::fprintf(stderr, "tallybell-bench-peer: %s: %s\n", what, std::strerror(errno));
    return 2;
}

int usage() {
    std::fprintf(stderr, "usage: tallybell-bench-peer --group G --port P [--max-seconds N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string groupText;
    long port = 0;
    long maxSeconds = kDefaultMaxSeconds;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--group") {
            groupText = argv[i + 1];
        } else if (name == "--port") {
            port = std::strtol(argv[i + 1], nullptr, 10);
        } else if (name == "--max-seconds") {
            maxSeconds = std::strtol(argv[i + 1], nullptr, 10);
        } else {
            return usage();
        }
    }
    Peer peer;
    if (port < 1 || port > 65535 || maxSeconds < 1 ||
        ::inet_pton(AF_INET, groupText.c_str(), &peer.group.sin_addr) != 1) {
        return usage();
    }
    peer.group.sin_family = AF_INET;
    peer.group.sin_port = htons(static_cast<std::uint16_t>(port));
    if ((peer.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) < 0) {
        return fail("socket");
    }
    const int hops = 1;
    if (::setsockopt(peer.fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0) {
        return fail("IP_MULTICAST_TTL");
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(peer.fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        return fail("bind");
    }
    say("ready");

    const std::int64_t deadline = nowNs() + std::int64_t(maxSeconds) * 1000000000;
    std::string pending;
    while (nowNs() < deadline) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {peer.fd, POLLIN, 0}};
        if (::poll(fds, 2, kPollSliceMs) < 0 && errno != EINTR) {
            return fail("poll");
        }
        if (fds[1].revents & POLLIN) {
            peer.receive();
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[4096];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) {
                return 0; // the benchmark is gone or done with us
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string order = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!peer.obey(order)) {
                    return 0;
                }
            }
        }
    }
    return 0;
}
