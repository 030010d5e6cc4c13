// The acknowledgement round trip: the in-process driver (tallybell-bench-ack) clicks the real
// button in host A; the peer in host B stamps the acknowledgement's arrival.
#include "bench/runner.h"

#include <cstdio>
#include <map>
#include <string>

namespace tallybell::bench {

namespace {

constexpr int kGoalP99Ms = 10;
// Three sets of rounds, each bounded by the driver's own timeouts; this only guards a hang.
constexpr int kMsPerRoundBound = 60;
constexpr int kStartBoundMs = 30000;

struct Result {
    long samples = 0;
    int lost = 0;
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

std::map<std::string, Result> parseResults(const std::deque<Line>& lines) {
    std::map<std::string, Result> results;
    for (const Line& line : lines) {
        char label[64] = {};
        Result r;
        if (std::sscanf(line.text.c_str(), "result %63s %ld %d %lf %lf %lf", label, &r.samples,
                        &r.lost, &r.p50, &r.p99, &r.max) == 6) {
            results[label] = r;
        }
    }
    return results;
}

} // namespace

void RunAcknowledgement(Bench& bench) {
    const int count = bench.Opts().ackCount;
    std::fprintf(stderr, "acknowledgement: %d clicks on the real button, in process\n", count);
    Child driver;
    const Child::Launch launch =
        bench.InHostA({Bench::Bin("tallybell-bench-ack"), "--peer-netns", bench.NetnsB(), "--peer",
                       Bench::Bin("tallybell-bench-peer"), "--count", std::to_string(count)});
    if (!driver.Start(launch)) {
        bench.Note("acknowledgement: the driver did not start: " + driver.Error());
        return;
    }
    std::deque<Line> lines;
    const bool done = WaitUntil(
        {&driver},
        [&] {
            while (!driver.out.empty()) {
                lines.push_back(driver.out.front());
                driver.out.pop_front();
            }
            driver.err.clear(); // its debug log: read so it never blocks, not kept
            return !lines.empty() && lines.back().text == "done";
        },
        kStartBoundMs + 3 * count * kMsPerRoundBound);
    driver.Stop();
    const auto results = parseResults(lines);
    if (!done || !results.count("tallybell")) {
        bench.Note("acknowledgement: the driver did not finish (status " +
                   std::to_string(driver.ExitStatus()) + "): " + driver.errLog.substr(0, 2000));
        return;
    }
    const Result& app = results.at("tallybell");
    const Result plain =
        results.count("plain-socket-send") ? results.at("plain-socket-send") : Result{};
    const Result button = results.count("bare-qt-button") ? results.at("bare-qt-button") : Result{};
    const bool complete = app.lost == 0 && app.samples == count;
    bench.Add({"ack round trip p50", Ms(app.p50), Ms(button.p50) + " (bare Qt button)",
               Ratio(app.p50, button.p50), "(detail)", std::nullopt});
    bench.Add({"ack round trip p99", Ms(app.p99), Ms(button.p99) + " (bare Qt button)",
               Ratio(app.p99, button.p99), "< 10 ms",
               complete ? std::optional<bool>(app.p99 < kGoalP99Ms) : std::nullopt});
    bench.Add({"  plain socket send to the peer p50/p99", "-",
               Ms(plain.p50) + " / " + Ms(plain.p99), Ratio(app.p99, plain.p99), "(detail)",
               std::nullopt});
    char note[256];
    std::snprintf(note, sizeof note,
                  "acknowledgement: %ld/%d round trips, %d lost, max %.3f ms (bare button max "
                  "%.3f ms, plain socket max %.3f ms)",
                  app.samples, count, app.lost, app.max, button.max, plain.max);
    bench.Note(note);
}

} // namespace tallybell::bench
