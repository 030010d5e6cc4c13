#pragma once

// What every benchmark of the runner shares: the two hosts, the programs and how each is
// started, and the table the figures go to.

#include "bench/harness.h"
#include "tests/support/two_hosts.h"

#include <QTemporaryDir>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tallybell::bench {

inline constexpr const char* kGroup = "239.1.2.4";
inline constexpr int kPort = 40001;
inline constexpr const char* kPeerAddress = "198.18.0.2";
inline constexpr const char* kUserName = "Ann Lee";
inline constexpr int kReadyTimeoutMs = 10000;

/// The runner's options; the defaults are the figures the README describes.
struct Options {
    int latencyCount = 2000;
    long burstCount = 20000;
    int ackCount = 1000;
    int idleSeconds = 60;
    int soakSeconds = 60;
    int startupRuns = 10;
    std::set<std::string> only; // empty: every benchmark
};

/// One line of the closing table.
struct Row {
    std::string figure;
    std::string tallybell;
    std::string machine;
    std::string ratio;
    std::string goal;
    /// nullopt: not measured (a failure says why in the notes).
    std::optional<bool> met;
};

/// The application and its yardsticks, as each benchmark starts them.
enum class Program { Tallybell, MinimalReceiver, BareWindow };

class Bench {
public:
    Bench(const Options& options, testing::TwoHosts& hosts);

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    const Options& Opts() const { return options_; }

    /// How to start a program in host A; display empty: Qt's offscreen platform.
    Child::Launch Launch(Program program, const std::string& display = {}) const;
    /// The bench peer in host B.
    Child::Launch PeerLaunch() const;
    Child::Launch InHostA(std::vector<std::string> argv) const;
    static std::string Bin(const char* name);
    const std::string& NetnsA() const { return netnsA_; }
    const std::string& NetnsB() const { return netnsB_; }

    /// Starts a child and waits for its ready line (on standard error, or on standard output for
    /// the peer); false with a note when either fails.
    bool StartAndWait(Child& child, const Child::Launch& launch, const std::string& readyLine,
                      bool onStdout, const std::string& what);

    /// The line a program writes once it is ready.
    static std::string ReadyLine(Program program);
    static std::string Alert() { return std::string("Alert recieved from ") + kPeerAddress; }

    void Add(Row row) { rows_.push_back(std::move(row)); }
    void Note(const std::string& note);
    void PrintTable() const;
    /// No measured figure missed its goal (rows without a verdict do not count).
    bool AllMet() const;

private:
    bool writePreferences();

    Options options_;
    testing::TwoHosts& hosts_;
    QTemporaryDir folder_;
    std::string netnsA_;
    std::string netnsB_;
    std::string error_;
    std::vector<Row> rows_;
    std::vector<std::string> notes_;
};

/// Formatting for the table.
std::string Ms(double ms);
std::string Ratio(double ours, double machine);
std::string Percent(double percent);
std::string Mb(double kb);

/// The benchmarks, each adding its rows (and notes) to the table.
void RunDispatchLatency(Bench& bench);
void RunBurst(Bench& bench);
void RunAcknowledgement(Bench& bench);
void RunIdleCost(Bench& bench);
void RunMemory(Bench& bench);
void RunStartup(Bench& bench);
void RunJsonParse(Bench& bench);

} // namespace tallybell::bench
