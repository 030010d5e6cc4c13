#pragma once

// The benchmarks' plumbing: child processes started straight into a network namespace, their
// output read as time-stamped lines, the kernel's per-process figures, and percentiles. Plain
// POSIX, so the measuring side adds as little as it can to what it measures.

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tallybell::bench {

/// CLOCK_MONOTONIC in nanoseconds: one clock for every process and every namespace.
std::int64_t NowNs();

/// One line a child wrote, stamped with the moment it was read.
struct Line {
    std::int64_t atNs = 0;
    std::string text;
};

/// A child process with its standard streams on pipes. It dies with the benchmark (parent-death
/// signal) and is stopped and reaped when the object goes.
class Child {
public:
    struct Launch {
        std::vector<std::string> argv;
        /// NAME=VALUE, added to (or replacing in) the benchmark's own environment.
        std::vector<std::string> env;
        /// A network namespace to enter before exec (/proc/<pid>/ns/net); empty: the current one.
        std::string netns;
    };

    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    /// Starts the process; false (with Error()) when it could not.
    bool Start(const Launch& launch);
    pid_t Pid() const { return pid_; }
    /// Still running (reaps it when it has ended).
    bool Running();
    /// The exit status once ended: the code, or 128 + signal.
    int ExitStatus() const { return status_; }
    const std::string& Error() const { return error_; }

    /// Whether its standard output or error may still bring something.
    bool OutputOpen() const { return outFd_ >= 0 || errFd_ >= 0; }

    /// Writes text to the child's standard input.
    bool Write(const std::string& text);

    /// Lines read so far and not yet taken.
    std::deque<Line> out;
    std::deque<Line> err;
    /// Everything the child wrote to standard error, kept for failure reports (the last 64 KB).
    std::string errLog;

    /// SIGTERM, a bounded wait, then SIGKILL; output is drained meanwhile.
    void Stop(int timeoutMs = 5000);

private:
    friend void Pump(std::initializer_list<Child*> children, int timeoutMs);
    void readFrom(int& fd, std::string& partial, std::deque<Line>& lines, bool keepLog);
    void closePipes();

    pid_t pid_ = -1;
    int status_ = -1;
    int in_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string outPartial_;
    std::string errPartial_;
    std::string error_;
};

/// Waits up to timeoutMs for output from any of the children and reads all that is there.
void Pump(std::initializer_list<Child*> children, int timeoutMs);

/// Pumps the children until done() holds or timeoutMs pass; whether it held.
bool WaitUntil(std::initializer_list<Child*> children, const std::function<bool()>& done,
               int timeoutMs);

/// Takes lines from a stream until one equals text (true) or the stream is empty (false).
bool TakeLine(std::deque<Line>& lines, const std::string& text, Line* found = nullptr);
/// Takes lines until one starts with prefix.
bool TakeLineStartingWith(std::deque<Line>& lines, const std::string& prefix,
                          Line* found = nullptr);

/// Runs a tool to its end (killed after timeoutMs): its exit status and standard output.
struct ToolResult {
    bool finished = false;
    int status = -1;
    std::string output;
    std::string errors;
};
ToolResult RunTool(const Child::Launch& launch, int timeoutMs);

/// The kernel's figures for a process.
struct ProcessFigures {
    /// user + system CPU time, in seconds (clock-tick resolution).
    static std::optional<double> CpuSeconds(pid_t pid);
    /// A "Vm..." field of /proc/<pid>/status, in kB.
    static std::optional<std::int64_t> StatusKb(pid_t pid, const char* field);
};

/// The UDP socket bound to a port in a process's network namespace (/proc/<pid>/net/udp).
struct UdpSocketFigures {
    bool found = false;
    std::int64_t rxQueueBytes = 0;
    std::int64_t drops = 0;
    static UdpSocketFigures Of(pid_t pid, int port);
};

/// Nearest-rank percentiles of samples in nanoseconds.
class Samples {
public:
    void Add(std::int64_t ns) { values_.push_back(ns); }
    std::size_t Count() const { return values_.size(); }
    /// p in 0..100; 0 when there are no samples.
    double PercentileMs(double p) const;
    double MaxMs() const;

private:
    std::vector<std::int64_t> values_;
};

/// Sleeps without spinning: the benchmark's own pacing, never a wait for a condition.
void SleepNs(std::int64_t ns);

} // namespace tallybell::bench
