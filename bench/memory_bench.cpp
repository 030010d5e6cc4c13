// Memory: the peak resident set (VmHWM) of the application before its first alarm and while it
// alarms, against a bare Qt window of the same size in the same states, side by side.
#include "bench/runner.h"

#include <cstdio>
#include <string>

namespace tallybell::bench {

namespace {

constexpr int kSettleMs = 2000;   // start-up's own allocations are done by then
constexpr int kAlarmingMs = 3000; // over a hundred animation frames
constexpr int kShownTimeoutMs = 5000;
constexpr double kBeforeRatio = 1.3;
constexpr double kAlarmingExtraKb = 16 * 1024;

void idle(Child& a, Child& b, Child& c, int ms) {
    WaitUntil(
        {&a, &b, &c}, [] { return false; }, ms);
    for (Child* child : {&a, &b, &c}) {
        child->out.clear();
        child->err.clear();
    }
}

} // namespace

void RunMemory(Bench& bench) {
    std::fprintf(stderr, "memory: peak resident set before and while alarming\n");
    Child app;
    Child bare;
    Child peer;
    if (!bench.StartAndWait(app, bench.Launch(Program::Tallybell),
                            Bench::ReadyLine(Program::Tallybell), false, "tallybell") ||
        !bench.StartAndWait(bare, bench.Launch(Program::BareWindow),
                            Bench::ReadyLine(Program::BareWindow), false, "the bare window") ||
        !bench.StartAndWait(peer, bench.PeerLaunch(), "ready", true, "the peer")) {
        return;
    }
    idle(app, bare, peer, kSettleMs);
    const auto appBefore = ProcessFigures::StatusKb(app.Pid(), "VmHWM");
    const auto bareBefore = ProcessFigures::StatusKb(bare.Pid(), "VmHWM");

    peer.Write("send ALARM\n");
    bare.Write("show\ntick 25\n");
    const bool alarmed = WaitUntil(
        {&app}, [&] { return TakeLine(app.err, Bench::Alert()); }, kShownTimeoutMs);
    const bool shown = WaitUntil(
        {&bare}, [&] { return TakeLine(bare.err, "shown"); }, kShownTimeoutMs);
    idle(app, bare, peer, kAlarmingMs);
    const auto appAlarming = ProcessFigures::StatusKb(app.Pid(), "VmHWM");
    const auto bareAlarming = ProcessFigures::StatusKb(bare.Pid(), "VmHWM");
    if (!appBefore || !bareBefore || !appAlarming || !bareAlarming || !alarmed || !shown) {
        bench.Note("memory: no figures (alarmed " + std::to_string(alarmed) + ", bare shown " +
                   std::to_string(shown) + ")");
        return;
    }
    const double before = double(*appBefore);
    const double alarming = double(*appAlarming);
    const double bareBeforeKb = double(*bareBefore);
    const double bareAlarmingKb = double(*bareAlarming);
    bench.Add({"peak RSS before the first alarm", Mb(before), Mb(bareBeforeKb) + " (bare window)",
               Ratio(before, bareBeforeKb), "<= 1.3x machine",
               before <= kBeforeRatio * bareBeforeKb});
    bench.Add({"peak RSS while alarming", Mb(alarming), Mb(bareAlarmingKb) + " (bare window shown)",
               Ratio(alarming, bareAlarmingKb), "<= machine + 16 MB",
               alarming <= bareAlarmingKb + kAlarmingExtraKb});
    bench.Note("memory: alarming adds " + Mb(alarming - before) + " to tallybell's own peak (" +
               "the bare window's showing adds " + Mb(double(*bareAlarming - *bareBefore)) +
               "); tallybell is " + Mb(alarming - bareAlarmingKb) + " above the shown bare window");
}

} // namespace tallybell::bench
