// Start-up: from the moment the process is forked to its ready line ("Joined multicast group"
// for the application), against the minimal receiver and the bare Qt window.
#include "bench/runner.h"

#include <cstdio>
#include <string>

namespace tallybell::bench {

namespace {

constexpr double kGoalMs = 150;

/// Start-up times of a program; the first start is a warm-up (caches) and is not counted.
Samples measure(Bench& bench, Program program, int& failures) {
    Samples samples;
    const std::string ready = Bench::ReadyLine(program);
    for (int run = 0; run <= bench.Opts().startupRuns; ++run) {
        Child child;
        const std::int64_t started = NowNs();
        if (!child.Start(bench.Launch(program))) {
            ++failures;
            continue;
        }
        Line line;
        const bool up = WaitUntil(
            {&child}, [&] { return TakeLine(child.err, ready, &line) || !child.Running(); },
            kReadyTimeoutMs);
        if (!up || line.atNs == 0) {
            ++failures;
            bench.Note("start-up: no ready line: " + child.errLog.substr(0, 1000));
        } else if (run > 0) {
            samples.Add(line.atNs - started);
        }
        child.Stop(); // the port must be free before the next start
    }
    return samples;
}

} // namespace

void RunStartup(Bench& bench) {
    std::fprintf(stderr, "start-up: %d starts of each program\n", bench.Opts().startupRuns);
    int failures = 0;
    const Samples app = measure(bench, Program::Tallybell, failures);
    const Samples bare = measure(bench, Program::BareWindow, failures);
    const Samples minimal = measure(bench, Program::MinimalReceiver, failures);
    const double appMs = app.PercentileMs(50);
    const double bareMs = bare.PercentileMs(50);
    bench.Add({"start-up to joined (median)", Ms(appMs), Ms(bareMs) + " (bare Qt window)",
               Ratio(appMs, bareMs), "< 150 ms",
               app.Count() ? std::optional<bool>(appMs < kGoalMs) : std::nullopt});
    bench.Add({"start-up to joined (slowest)", Ms(app.MaxMs()),
               Ms(bare.MaxMs()) + " (bare Qt window)", Ratio(app.MaxMs(), bare.MaxMs()), "< 150 ms",
               app.Count() ? std::optional<bool>(app.MaxMs() < kGoalMs) : std::nullopt});
    bench.Note("start-up: " + std::to_string(app.Count()) + " timed starts each, " +
               std::to_string(failures) + " failed; the minimal receiver joins in " +
               Ms(minimal.PercentileMs(50)) + " (median)");
}

} // namespace tallybell::bench
