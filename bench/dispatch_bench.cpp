// Alarm dispatch: how long a datagram takes from the peer's sendto to the receiver's line on its
// standard error, one at a time and in a burst; the application against the minimal receiver.
#include "bench/runner.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace tallybell::bench {

namespace {

constexpr std::int64_t kPaceNs = 1000000; // at most one alarm a millisecond
constexpr int kLineTimeoutMs = 2000;
constexpr int kQuietMs = 2000; // no more lines for this long: the burst is over
constexpr int kBurstTimeoutMs = 120000;
constexpr long kPacedIntervalUs = 100; // the paced variant: 10,000 datagrams a second

const char* label(Program program) {
    return program == Program::Tallybell ? "tallybell" : "minimal receiver";
}

struct Latency {
    Samples all;
    Samples alarms;
    Samples cancels;
    int lost = 0;
    bool ran = false;
};

/// The receiver and the peer, both ready.
struct Pair {
    Child receiver;
    Child peer;

    bool Start(Bench& bench, Program program) {
        return bench.StartAndWait(receiver, bench.Launch(program), Bench::ReadyLine(program), false,
                                  label(program)) &&
               bench.StartAndWait(peer, bench.PeerLaunch(), "ready", true, "the peer");
    }

    /// Sends one payload; the moment it left and the moment its line was read.
    bool SendAndTime(const std::string& payload, std::int64_t& sentAt, std::int64_t& loggedAt) {
        peer.Write("send " + payload + "\n");
        Line sent;
        Line logged;
        bool haveSent = false;
        bool haveLogged = false;
        const bool done = WaitUntil(
            {&receiver, &peer},
            [&] {
                haveSent = haveSent || TakeLineStartingWith(peer.out, "sent ", &sent);
                haveLogged = haveLogged || TakeLine(receiver.err, Bench::Alert(), &logged);
                return haveSent && haveLogged;
            },
            kLineTimeoutMs);
        if (haveSent) {
            sentAt = std::stoll(sent.text.substr(5));
        }
        loggedAt = logged.atNs;
        return done;
    }
};

Latency measureLatency(Bench& bench, Program program) {
    Latency result;
    Pair pair;
    if (!pair.Start(bench, program)) {
        return result;
    }
    result.ran = true;
    std::int64_t lastSent = 0;
    for (int i = 0; i < bench.Opts().latencyCount; ++i) {
        const bool alarm = i % 2 == 0;
        SleepNs(lastSent + kPaceNs - NowNs());
        std::int64_t sentAt = NowNs();
        std::int64_t loggedAt = 0;
        if (!pair.SendAndTime(alarm ? "ALARM" : "ALARM_CANCEL", sentAt, loggedAt)) {
            ++result.lost;
            lastSent = NowNs();
            continue;
        }
        lastSent = sentAt;
        result.all.Add(loggedAt - sentAt);
        (alarm ? result.alarms : result.cancels).Add(loggedAt - sentAt);
    }
    return result;
}

struct Burst {
    bool ran = false;
    long sent = 0;
    long failed = 0;
    long logged = 0;
    std::int64_t drainNs = 0;
    std::int64_t tailNs = 0; // from the last send to the last line
    std::int64_t kernelDrops = 0;
    std::int64_t waitingBytes = 0;
    bool answersAfter = false;
};

Burst measureBurst(Bench& bench, Program program, long intervalUs) {
    Burst result;
    Pair pair;
    if (!pair.Start(bench, program)) {
        return result;
    }
    const UdpSocketFigures before = UdpSocketFigures::Of(pair.receiver.Pid(), kPort);
    const long count = bench.Opts().burstCount;
    pair.peer.Write(intervalUs > 0
                        ? "paced " + std::to_string(count) + " " + std::to_string(intervalUs) + "\n"
                        : "burst " + std::to_string(count) + "\n");
    Line report;
    bool reported = false;
    std::int64_t lastLine = 0;
    WaitUntil(
        {&pair.receiver, &pair.peer},
        [&] {
            for (Line line; TakeLine(pair.receiver.err, Bench::Alert(), &line);) {
                ++result.logged;
                lastLine = line.atNs;
            }
            reported = reported || TakeLineStartingWith(pair.peer.out, "burst ", &report);
            const std::int64_t quietSince = std::max(lastLine, reported ? report.atNs : 0);
            return reported && (result.logged >= count ||
                                NowNs() - quietSince > std::int64_t(kQuietMs) * 1000000);
        },
        kBurstTimeoutMs);
    if (!reported) {
        bench.Note(std::string("burst: the peer did not report its burst to the ") +
                   label(program));
        return result;
    }
    long long first = 0;
    long long last = 0;
    std::sscanf(report.text.c_str(), "burst %ld %ld %lld %lld", &result.sent, &result.failed,
                &first, &last);
    result.ran = true;
    result.drainNs = lastLine - first;
    result.tailNs = lastLine - last;
    const UdpSocketFigures after = UdpSocketFigures::Of(pair.receiver.Pid(), kPort);
    result.kernelDrops = after.drops - before.drops;
    result.waitingBytes = after.rxQueueBytes;
    // A receiver whose socket went quiet with datagrams waiting would not answer this one.
    std::int64_t sentAt = 0;
    std::int64_t loggedAt = 0;
    result.answersAfter = pair.SendAndTime("ALARM_CANCEL", sentAt, loggedAt);
    return result;
}

void addLatencyRows(Bench& bench, const Latency& app, const Latency& minimal) {
    const double appP50 = app.all.PercentileMs(50);
    const double appP99 = app.all.PercentileMs(99);
    const double minP50 = minimal.all.PercentileMs(50);
    const double minP99 = minimal.all.PercentileMs(99);
    const bool complete = app.ran && minimal.ran && app.lost == 0 && minimal.lost == 0;
    bench.Add({"dispatch latency p50", Ms(appP50), Ms(minP50) + " (minimal receiver)",
               Ratio(appP50, minP50), "<= 2x machine",
               complete ? std::optional<bool>(appP50 <= 2 * minP50) : std::nullopt});
    bench.Add({"dispatch latency p99", Ms(appP99), Ms(minP99) + " (minimal receiver)",
               Ratio(appP99, minP99), "<= 2x machine, < 5 ms",
               complete ? std::optional<bool>(appP99 <= 2 * minP99 && appP99 < 5) : std::nullopt});
    bench.Add({"  of which ALARM p50 / p99",
               Ms(app.alarms.PercentileMs(50)) + " / " + Ms(app.alarms.PercentileMs(99)),
               Ms(minimal.alarms.PercentileMs(50)) + " / " + Ms(minimal.alarms.PercentileMs(99)),
               Ratio(app.alarms.PercentileMs(50), minimal.alarms.PercentileMs(50)), "(detail)",
               std::nullopt});
    bench.Add({"  of which ALARM_CANCEL p50 / p99",
               Ms(app.cancels.PercentileMs(50)) + " / " + Ms(app.cancels.PercentileMs(99)),
               Ms(minimal.cancels.PercentileMs(50)) + " / " + Ms(minimal.cancels.PercentileMs(99)),
               Ratio(app.cancels.PercentileMs(50), minimal.cancels.PercentileMs(50)), "(detail)",
               std::nullopt});
    char note[256];
    std::snprintf(note, sizeof note,
                  "dispatch latency: %zu/%zu datagrams timed (tallybell/minimal), %d/%d lost; "
                  "max %.3f/%.3f ms",
                  app.all.Count(), minimal.all.Count(), app.lost, minimal.lost, app.all.MaxMs(),
                  minimal.all.MaxMs());
    bench.Note(note);
}

void addBurstRows(Bench& bench, const char* name, const Burst& app, const Burst& minimal) {
    auto describe = [](const Burst& b) {
        const double perSecond = b.drainNs > 0 ? double(b.logged) * 1e9 / double(b.drainNs) : 0;
        return std::to_string(b.logged) + "/" + std::to_string(b.sent) + " logged (" +
               std::to_string(std::lround(perSecond)) + " a second), " +
               std::to_string(b.kernelDrops) + " dropped by the kernel, " +
               std::to_string(b.waitingBytes) + " bytes left waiting, " +
               (b.answersAfter ? "answers after" : "DOES NOT answer after") +
               (b.failed ? ", " + std::to_string(b.failed) + " sends failed" : "");
    };
    bench.Note(std::string(name) + " tallybell: " + describe(app));
    bench.Note(std::string(name) + " minimal receiver: " + describe(minimal));
    if (!app.ran || !minimal.ran) {
        bench.Add(
            {std::string(name) + " drain time", "-", "-", "-", "<= 2x machine", std::nullopt});
        return;
    }
    // Kernel drops at the socket are no loss of the receiver's; anything else unaccounted is.
    const bool appWhole =
        app.logged + app.kernelDrops == app.sent && app.waitingBytes == 0 && app.answersAfter;
    // Drops at a full receive buffer that the yardstick suffers too are the machine's limit,
    // reported as such; the paced variant then decides.
    std::optional<bool> whole = appWhole && app.kernelDrops == 0;
    if (appWhole && app.kernelDrops > 0 && minimal.kernelDrops > 0) {
        whole = std::nullopt;
        bench.Note(std::string(name) + ": both receivers lost datagrams to the kernel's full "
                                       "receive buffer (not counted against tallybell)");
    }
    const double appMs = double(app.drainNs) / 1e6;
    const double minMs = double(minimal.drainNs) / 1e6;
    bench.Add({std::string(name) + " logged once, none stranded",
               std::to_string(app.logged) + "/" + std::to_string(app.sent),
               std::to_string(minimal.logged) + "/" + std::to_string(minimal.sent), "-",
               "all logged, none left", whole});
    // Drain times of receivers that dropped different numbers compare different work.
    const bool comparable = app.kernelDrops == 0 && minimal.kernelDrops == 0;
    bench.Add({std::string(name) + " drain time", Ms(appMs), Ms(minMs) + " (minimal receiver)",
               Ratio(appMs, minMs), comparable ? "<= 2x machine" : "(drops: not comparable)",
               comparable ? std::optional<bool>(appMs <= 2 * minMs && appWhole) : std::nullopt});
    bench.Add({"  last send to last line", Ms(double(app.tailNs) / 1e6),
               Ms(double(minimal.tailNs) / 1e6),
               comparable ? Ratio(double(app.tailNs), double(minimal.tailNs)) : "-", "(detail)",
               std::nullopt});
}

} // namespace

void RunDispatchLatency(Bench& bench) {
    std::fprintf(stderr, "dispatch latency: %d alarms and cancels, alternately\n",
                 bench.Opts().latencyCount);
    const Latency minimal = measureLatency(bench, Program::MinimalReceiver);
    const Latency app = measureLatency(bench, Program::Tallybell);
    addLatencyRows(bench, app, minimal);
}

void RunBurst(Bench& bench) {
    std::fprintf(stderr, "burst: %ld mixed datagrams as fast as the peer sends\n",
                 bench.Opts().burstCount);
    const Burst minimal = measureBurst(bench, Program::MinimalReceiver, 0);
    const Burst app = measureBurst(bench, Program::Tallybell, 0);
    addBurstRows(bench, "burst", app, minimal);
    if (app.kernelDrops == 0 && minimal.kernelDrops == 0) {
        return;
    }
    bench.Note("burst: the kernel dropped datagrams at a full receive buffer; the paced variant "
               "sends one every " +
               std::to_string(kPacedIntervalUs) + " us");
    const Burst pacedMinimal = measureBurst(bench, Program::MinimalReceiver, kPacedIntervalUs);
    const Burst pacedApp = measureBurst(bench, Program::Tallybell, kPacedIntervalUs);
    addBurstRows(bench, "paced burst", pacedApp, pacedMinimal);
}

} // namespace tallybell::bench
