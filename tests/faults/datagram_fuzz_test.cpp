// Random datagrams at the application's real socket, for a few seconds: arbitrary payloads up to
// the largest a UDP datagram over IPv4 carries, the near-misses of the two commands, and the
// commands themselves, interleaved, from many senders. The suite's sanitized run makes this its
// fuzz run. Every failure names the seed; TALLYBELL_FUZZ_SEED=<seed> repeats that run.
#include "app/alarm_protocol.h"
#include "tests/faults/started_app.h"
#include "tests/support/wait.h"

#include <QElapsedTimer>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

constexpr std::size_t kLargestPayload = 65507; // 65535 less the IPv4 and UDP headers
constexpr qint64 kRunMs = 3000;
// A burst stays well inside the socket's receive buffer: on loopback nothing may be lost, so
// every datagram sent must be logged.
constexpr std::size_t kBurstBytes = std::size_t{96} * 1024;
constexpr int kLongestBurst = 8;
constexpr int kQuietMs = 200;

const std::vector<std::string>& nearMisses() {
    using namespace std::string_literals;
    static const std::vector<std::string> payloads{"ALARM ",
                                                   "ALARM\n",
                                                   "ALARM\r\n",
                                                   " ALARM",
                                                   "alarm",
                                                   "Alarm",
                                                   "ALAR",
                                                   "ALARMALARM",
                                                   "ALARM\0"s,
                                                   "\0ALARM"s,
                                                   "\xEF\xBB\xBF"s + "ALARM",
                                                   "A\0L\0A\0R\0M\0"s,
                                                   "ALARM_CANCELx",
                                                   "ALARM_CANCEL ",
                                                   "ALARM_CANCEL\n",
                                                   "ALARM_CANCE",
                                                   "alarm_cancel",
                                                   "ALARM CANCEL",
                                                   "",
                                                   "ACK,",
                                                   "ACK,Ann",
                                                   "ACK,ALARM",
                                                   "ALARM_CANCEL\0"s};
    return payloads;
}

struct Sent {
    std::string source;
    std::string payload;
};

/// Payloads as a hostile or broken network might deliver them, drawn from one seed.
class Fuzzer {
public:
    explicit Fuzzer(std::uint64_t seed) : random_(seed) {}

    std::vector<Sent> Burst() {
        std::vector<Sent> burst;
        std::size_t bytes = 0;
        const int length = below(kLongestBurst) + 1;
        while (static_cast<int>(burst.size()) < length) {
            Sent next{source(), payload()};
            if (!burst.empty() && bytes + next.payload.size() > kBurstBytes) {
                break;
            }
            bytes += next.payload.size();
            burst.push_back(std::move(next));
        }
        return burst;
    }

private:
    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    std::string source() { return "127.0.0." + std::to_string(2 + below(253)); }

    std::string bytes(std::size_t length) {
        std::string result(length, '\0');
        for (char& byte : result) {
            byte = static_cast<char>(below(256));
        }
        return result;
    }

    std::size_t randomLength() {
        const int kind = below(100);
        if (kind < 70) {
            return static_cast<std::size_t>(below(65));
        }
        if (kind < 90) {
            return 65 + static_cast<std::size_t>(below(1500 - 65));
        }
        if (kind < 97) {
            return 1500 + static_cast<std::size_t>(below(int(kLargestPayload) - 1500));
        }
        return kLargestPayload;
    }

    std::string payload() {
        const int kind = below(100);
        if (kind < 15) {
            return kAlarmCommand;
        }
        if (kind < 25) {
            return kCancelCommand;
        }
        if (kind < 55) {
            return nearMisses()[static_cast<std::size_t>(below(int(nearMisses().size())))];
        }
        if (kind < 65) {
            return kAckPrefix + bytes(static_cast<std::size_t>(below(65)));
        }
        return bytes(randomLength());
    }

    std::mt19937_64 random_;
};

std::uint64_t chosenSeed() {
    if (const char* given = std::getenv("TALLYBELL_FUZZ_SEED")) {
        return std::strtoull(given, nullptr, 10);
    }
    std::random_device device;
    return (std::uint64_t(device()) << 32) | device();
}

/// A payload as a failure message shows it: its length and its first bytes, escaped.
std::string shown(const std::string& payload) {
    std::ostringstream out;
    out << payload.size() << " bytes \"";
    for (std::size_t i = 0; i < payload.size() && i < 24; ++i) {
        const unsigned char byte = static_cast<unsigned char>(payload[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out << payload[i];
        } else {
            out << "\\x" << std::hex << int(byte) << std::dec;
        }
    }
    out << (payload.size() > 24 ? "...\"" : "\"");
    return out.str();
}

using DatagramFuzz = StartedApp;

TEST_F(DatagramFuzz, AnyPayloadIsLoggedOnceInOrderAndOnlyTheLastCommandDecidesTheWindow) {
    const std::uint64_t seed = chosenSeed();
    SCOPED_TRACE(::testing::Message()
                 << "seed " << seed << " (TALLYBELL_FUZZ_SEED=" << seed << " repeats this run)");
    RecordProperty("seed", std::to_string(seed));
    openJoined();
    if (HasFatalFailure()) {
        return;
    }

    Fuzzer fuzz(seed);
    std::optional<bool> wanted; // what the last command asked of the window
    std::size_t total = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kRunMs) {
        const std::vector<Sent> burst = fuzz.Burst();
        std::vector<std::string> expected;
        for (const Sent& sent : burst) {
            sendDatagram(sent.payload, sent.source.c_str());
            ASSERT_FALSE(HasFatalFailure()) << shown(sent.payload);
            expected.push_back("Alert recieved from " + sent.source);
            if (sent.payload == kAlarmCommand) {
                wanted = true;
            } else if (sent.payload == kCancelCommand) {
                wanted = false;
            }
        }
        const bool allLogged = WaitFor([&] { return log.Lines().size() >= expected.size(); });
        const std::string last = shown(burst.back().payload);
        ASSERT_TRUE(allLogged) << log.Lines().size() << " of " << expected.size()
                               << " datagrams logged; the last sent: " << last;
        ASSERT_EQ(log.Lines(), expected) << "the last sent: " << last;
        ASSERT_EQ(app->Socket1->rxIP, fw::String(burst.back().source)) << last;
        ASSERT_EQ(alarmWindowShown(), wanted.value_or(false))
            << "the last sent: " << last << " after " << total + burst.size() << " datagrams";
        log.Clear();
        total += burst.size();
    }
    RecordProperty("datagrams", std::to_string(total));
    EXPECT_FALSE(WaitFor([&] { return !log.Lines().empty(); }, kQuietMs))
        << "logged after the last datagram: " << log.Lines().front();
    EXPECT_TRUE(app->Socket1->IsConnected());
}

} // namespace
} // namespace tallybell::testing
