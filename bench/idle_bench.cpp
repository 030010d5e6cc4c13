// Idle cost: the application's CPU while it waits, before its first alarm and after an alarm
// that was acknowledged by a click (its animation timer keeps running by design), and its memory
// over a run of repeated alarms. It runs on an X server of its own (Xvfb) and is clicked with
// xdotool, as a user would click it; a bare Qt window on the same server does the same waiting.
#include "bench/runner.h"
#include "tests/support/private_xvfb.h"

#include <cstdio>
#include <regex>
#include <string>

namespace tallybell::bench {

namespace {

constexpr int kSettleMs = 2000;
constexpr int kToolTimeoutMs = 10000;
constexpr int kWindowTimeoutMs = 5000;
constexpr int kAckTimeoutMs = 3000;
constexpr int kCycleGapMs = 250;
constexpr int kContentHeight = 400;
constexpr int kButtonCentreX = 300;
constexpr int kButtonCentreY = 334;
constexpr double kGoalBeforePercent = 0.2;
constexpr double kGoalAfterPercent = 2.0;

/// An X server of the benchmark's own, in host A beside the application and the X tools, started
/// by the same private launcher as the tests' (its socket in host A's namespace, its files in a
/// mount namespace of its own).
class Display {
public:
    bool Start(Bench& bench) {
        Child::Launch launch;
        launch.argv = {testing::kPrivateXvfb, "-screen", "0", "1280x1024x24"};
        launch.netns = bench.NetnsA();
        if (!server_.Start(launch)) {
            bench.Note("idle: Xvfb did not start: " + server_.Error());
            return false;
        }
        // The number comes on standard output once the server accepts connections.
        const bool ready = WaitUntil(
            {&server_}, [&] { return !server_.out.empty() || !server_.Running(); }, kToolTimeoutMs);
        if (!ready || server_.out.empty()) {
            bench.Note("idle: Xvfb gave no display: " + server_.errLog.substr(0, 300));
            return false;
        }
        name_ = ":" + server_.out.front().text;
        netns_ = launch.netns;
        return true;
    }

    const std::string& Name() const { return name_; }

    ToolResult Tool(std::vector<std::string> argv) const {
        Child::Launch launch;
        launch.argv = std::move(argv);
        launch.env = {"DISPLAY=" + name_};
        launch.netns = netns_;
        return RunTool(launch, kToolTimeoutMs);
    }

private:
    Child server_;
    std::string name_;
    std::string netns_;
};

struct Processes {
    Child app;
    Child bare;
    Child peer;
};

/// Waits, reading (and dropping) what the processes write; returns each one's CPU percentage.
std::pair<double, double> cpuOver(Processes& p, int seconds) {
    const auto app0 = ProcessFigures::CpuSeconds(p.app.Pid());
    const auto bare0 = ProcessFigures::CpuSeconds(p.bare.Pid());
    const std::int64_t start = NowNs();
    WaitUntil(
        {&p.app, &p.bare, &p.peer},
        [&] {
            p.app.err.clear();
            p.bare.err.clear();
            p.peer.out.clear();
            return false;
        },
        seconds * 1000);
    const double elapsed = double(NowNs() - start) / 1e9;
    const auto app1 = ProcessFigures::CpuSeconds(p.app.Pid());
    const auto bare1 = ProcessFigures::CpuSeconds(p.bare.Pid());
    if (!app0 || !app1 || !bare0 || !bare1) {
        return {-1, -1};
    }
    return {(*app1 - *app0) / elapsed * 100, (*bare1 - *bare0) / elapsed * 100};
}

/// The visible alarm window, if one shows within timeoutMs.
std::string findWindow(const Display& display, int timeoutMs) {
    std::string id;
    const std::int64_t deadline = NowNs() + std::int64_t(timeoutMs) * 1000000;
    while (id.empty() && NowNs() < deadline) {
        const ToolResult found =
            display.Tool({"xdotool", "search", "--onlyvisible", "--name", "^Tallybell$"});
        id = found.output.substr(0, found.output.find('\n'));
    }
    return id;
}

bool windowGone(const Display& display, int timeoutMs) {
    const std::int64_t deadline = NowNs() + std::int64_t(timeoutMs) * 1000000;
    while (NowNs() < deadline) {
        const ToolResult found =
            display.Tool({"xdotool", "search", "--onlyvisible", "--name", "^Tallybell$"});
        if (found.finished && found.output.empty()) {
            return true;
        }
    }
    return false;
}

int menuBarHeight(const Display& display, const std::string& window) {
    const ToolResult info = display.Tool({"xwininfo", "-id", window});
    std::smatch match;
    if (!std::regex_search(info.output, match, std::regex(R"(Height:\s+(\d+))"))) {
        return -1;
    }
    return std::stoi(match[1]) - kContentHeight;
}

/// One alarm from the peer, acknowledged by a click on the button; the bare window is shown and
/// hidden alongside. Empty when every step happened in time, else the step that did not.
std::string alarmAndAcknowledge(const Display& display, Processes& p) {
    p.peer.Write("send ALARM\n");
    p.bare.Write("show\n");
    const std::string window = findWindow(display, kWindowTimeoutMs);
    if (window.empty()) {
        return "the alarm window did not show";
    }
    const int menu = menuBarHeight(display, window);
    if (menu < 0) {
        return "xwininfo gave no height";
    }
    // --sync waits for the pointer to move, so it starts from elsewhere: after the previous
    // click it would already be on the button and wait for ever.
    const ToolResult clicked = display.Tool(
        {"xdotool", "mousemove", "0", "0", "mousemove", "--sync", "--window", window,
         std::to_string(kButtonCentreX), std::to_string(kButtonCentreY + menu), "click", "1"});
    if (clicked.status != 0) {
        return "xdotool could not click: " + clicked.errors;
    }
    const std::string ack = std::string(" ") + "198.18.0.1 ACK," + kUserName;
    const bool acknowledged = WaitUntil(
        {&p.peer, &p.bare},
        [&] {
            Line line;
            return TakeLineStartingWith(p.peer.out, "recv ", &line) &&
                   line.text.size() > ack.size() &&
                   line.text.compare(line.text.size() - ack.size(), ack.size(), ack) == 0;
        },
        kAckTimeoutMs);
    if (!acknowledged) {
        return "no acknowledgement reached the peer";
    }
    const bool bareShown = WaitUntil(
        {&p.bare}, [&] { return TakeLine(p.bare.err, "shown"); }, kWindowTimeoutMs);
    p.bare.Write("hide\n");
    if (!bareShown) {
        return "the bare window did not show";
    }
    return windowGone(display, kWindowTimeoutMs) ? "" : "the alarm window stayed";
}

void soak(Bench& bench, const Display& display, Processes& p) {
    const int seconds = bench.Opts().soakSeconds;
    std::fprintf(stderr, "idle: repeated alarms for %d s\n", seconds);
    const auto appStart = ProcessFigures::StatusKb(p.app.Pid(), "VmRSS");
    const auto bareStart = ProcessFigures::StatusKb(p.bare.Pid(), "VmRSS");
    int alarms = 0;
    int failed = 0;
    const std::int64_t end = NowNs() + std::int64_t(seconds) * 1000000000;
    while (NowNs() < end) {
        const std::string failure = alarmAndAcknowledge(display, p);
        if (!failure.empty() && failed++ == 0) {
            bench.Note("repeated alarms: " + failure);
        }
        alarms += failure.empty() ? 1 : 0;
        WaitUntil(
            {&p.app, &p.bare, &p.peer}, [] { return false; }, kCycleGapMs);
        p.app.err.clear();
    }
    const auto appEnd = ProcessFigures::StatusKb(p.app.Pid(), "VmRSS");
    const auto bareEnd = ProcessFigures::StatusKb(p.bare.Pid(), "VmRSS");
    if (!appStart || !appEnd || !bareStart || !bareEnd) {
        bench.Note("idle: no memory figures for the repeated alarms");
        return;
    }
    const double growth = double(*appEnd - *appStart);
    const double bareGrowth = double(*bareEnd - *bareStart);
    bench.Add({"RSS growth, repeated alarms (" + std::to_string(seconds) + " s)", Mb(growth),
               Mb(bareGrowth) + " (bare window)", "-", "(report)", std::nullopt});
    char note[256];
    std::snprintf(note, sizeof note,
                  "repeated alarms: %d alarms clicked away in %d s (%d failed); resident set "
                  "%.1f -> %.1f MB (%.1f kB an alarm); bare window shown and hidden alongside: "
                  "%.1f -> %.1f MB",
                  alarms, seconds, failed, double(*appStart) / 1024, double(*appEnd) / 1024,
                  alarms ? growth / alarms : 0.0, double(*bareStart) / 1024,
                  double(*bareEnd) / 1024);
    bench.Note(note);
}

} // namespace

void RunIdleCost(Bench& bench) {
    const int seconds = bench.Opts().idleSeconds;
    std::fprintf(stderr, "idle: %d s before the first alarm, %d s after an acknowledged one\n",
                 seconds, seconds);
    Display display;
    if (!display.Start(bench)) {
        return;
    }
    Processes p;
    if (!bench.StartAndWait(p.app, bench.Launch(Program::Tallybell, display.Name()),
                            Bench::ReadyLine(Program::Tallybell), false, "tallybell") ||
        !bench.StartAndWait(p.bare, bench.Launch(Program::BareWindow, display.Name()),
                            Bench::ReadyLine(Program::BareWindow), false, "the bare window") ||
        !bench.StartAndWait(p.peer, bench.PeerLaunch(), "ready", true, "the peer")) {
        return;
    }
    WaitUntil(
        {&p.app, &p.bare, &p.peer}, [] { return false; }, kSettleMs);
    const auto [appBefore, bareBefore] = cpuOver(p, seconds);

    const std::string failure = alarmAndAcknowledge(display, p);
    const bool acknowledged = failure.empty();
    p.bare.Write("tick 25\n"); // the animation's period, on the hidden bare window
    WaitUntil(
        {&p.app, &p.bare, &p.peer}, [] { return false; }, kSettleMs);
    const auto [appAfter, bareAfter] = cpuOver(p, seconds);
    if (appBefore < 0 || appAfter < 0) {
        bench.Note("idle: no CPU figures");
        return;
    }
    bench.Add({"idle CPU before the first alarm", Percent(appBefore),
               Percent(bareBefore) + " (bare window)", Ratio(appBefore, bareBefore),
               "< 0.2 % of a core", appBefore < kGoalBeforePercent});
    bench.Add({"idle CPU after an acknowledged alarm", Percent(appAfter),
               Percent(bareAfter) + " (bare, 25 ms timer)", Ratio(appAfter, bareAfter),
               "< 2 % of a core",
               acknowledged ? std::optional<bool>(appAfter < kGoalAfterPercent) : std::nullopt});
    if (!acknowledged) {
        bench.Note("idle: the first alarm was not clicked away: " + failure);
    }
    soak(bench, display, p);
}

} // namespace tallybell::bench
