#include "bench/harness.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tallybell::bench {

namespace {

constexpr std::size_t kReadChunk = 65536;
constexpr std::size_t kErrLogLimit = 65536;
constexpr int kPumpSliceMs = 20;
constexpr int kStopSliceMs = 10;
constexpr int kDrainMs = 1000;
constexpr int kExitExecFailed = 127;

/// The environment the child gets: ours, with additions replacing variables of the same name.
std::vector<std::string> childEnvironment(const std::vector<std::string>& additions) {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        const bool replaced = std::any_of(additions.begin(), additions.end(), [&](const auto& a) {
            return a.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (!replaced) {
            result.push_back(variable);
        }
    }
    result.insert(result.end(), additions.begin(), additions.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Only async-signal-safe calls between fork and exec: the benchmark may have threads (Qt's).
[[noreturn]] void execChild(int nsFd, int in, int out, int err, pid_t parent, char** argv,
                            char** envp) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(kExitExecFailed); // the benchmark is already gone
    }
    ::signal(SIGPIPE, SIG_DFL); // an ignored signal would be inherited across exec
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (nsFd >= 0 && ::setns(nsFd, CLONE_NEWNET) != 0) {
        const char message[] = "bench: setns failed\n";
        [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(kExitExecFailed);
    }
    ::execvpe(argv[0], argv, envp);
    const char message[] = "bench: exec failed\n";
    [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(kExitExecFailed);
}

} // namespace

std::int64_t NowNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SleepNs(std::int64_t ns) {
    if (ns <= 0) {
        return;
    }
    timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
    }
}

Child::~Child() {
    Stop();
    closePipes();
}

void Child::closePipes() {
    closeFd(in_);
    closeFd(outFd_);
    closeFd(errFd_);
}

bool Child::Start(const Launch& launch) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    int nsFd = -1;
    if (!launch.netns.empty() && (nsFd = ::open(launch.netns.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        error_ = launch.netns + ": " + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            ::close(fd);
        }
        return false;
    }
    std::vector<std::string> argv = launch.argv;
    std::vector<std::string> env = childEnvironment(launch.env);
    std::vector<char*> argvPointers = pointers(argv);
    std::vector<char*> envPointers = pointers(env);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        execChild(nsFd, in[0], out[1], err[1], parent, argvPointers.data(), envPointers.data());
    }
    const int forkErrno = errno;
    for (int fd : {in[0], out[1], err[1], nsFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    in_ = in[1];
    outFd_ = out[0];
    errFd_ = err[0];
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
    ::fcntl(errFd_, F_SETFL, O_NONBLOCK);
    if (pid_ < 0) {
        error_ = std::string("fork: ") + std::strerror(forkErrno);
        closePipes();
        return false;
    }
    status_ = -1;
    return true;
}

bool Child::Running() {
    if (pid_ <= 0 || status_ >= 0) {
        return false;
    }
    int raw = 0;
    const pid_t ended = ::waitpid(pid_, &raw, WNOHANG);
    if (ended == 0) {
        return true;
    }
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return false;
}

bool Child::Write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(in_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

void Child::readFrom(int& fd, std::string& partial, std::deque<Line>& lines, bool keepLog) {
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return; // EAGAIN: all read for now
        }
        if (got == 0) {
            closeFd(fd);
            return;
        }
        const std::int64_t at = NowNs();
        if (keepLog) {
            errLog.append(buffer, static_cast<std::size_t>(got));
            if (errLog.size() > kErrLogLimit) {
                errLog.erase(0, errLog.size() - kErrLogLimit);
            }
        }
        partial.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = partial.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines.push_back(Line{at, partial.substr(start, end - start)});
        }
        partial.erase(0, start);
    }
}

void Child::Stop(int timeoutMs) {
    if (!Running()) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const std::int64_t deadline = NowNs() + std::int64_t(timeoutMs) * 1000000;
    while (Running() && NowNs() < deadline) {
        Pump({this}, kStopSliceMs); // a child blocked writing to a full pipe could not end
        out.clear();
        err.clear();
    }
    if (Running()) {
        ::kill(pid_, SIGKILL);
        int raw = 0;
        while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
        status_ = 128 + SIGKILL;
    }
}

void Pump(std::initializer_list<Child*> children, int timeoutMs) {
    std::vector<pollfd> fds;
    std::vector<std::pair<Child*, bool>> owners; // (child, is standard error)
    for (Child* child : children) {
        for (bool isErr : {false, true}) {
            const int fd = isErr ? child->errFd_ : child->outFd_;
            if (fd >= 0) {
                fds.push_back(pollfd{fd, POLLIN, 0});
                owners.emplace_back(child, isErr);
            }
        }
    }
    if (fds.empty()) {
        SleepNs(std::int64_t(timeoutMs) * 1000000);
        return;
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) {
        return;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        auto [child, isErr] = owners[i];
        if (isErr) {
            child->readFrom(child->errFd_, child->errPartial_, child->err, true);
        } else {
            child->readFrom(child->outFd_, child->outPartial_, child->out, false);
        }
    }
}

bool WaitUntil(std::initializer_list<Child*> children, const std::function<bool()>& done,
               int timeoutMs) {
    const std::int64_t deadline = NowNs() + std::int64_t(timeoutMs) * 1000000;
    while (!done()) {
        const std::int64_t left = (deadline - NowNs()) / 1000000;
        if (left <= 0) {
            return done();
        }
        Pump(children, static_cast<int>(std::min<std::int64_t>(left, kPumpSliceMs)));
    }
    return true;
}

bool TakeLine(std::deque<Line>& lines, const std::string& text, Line* found) {
    while (!lines.empty()) {
        Line line = std::move(lines.front());
        lines.pop_front();
        if (line.text == text) {
            if (found) {
                *found = std::move(line);
            }
            return true;
        }
    }
    return false;
}

bool TakeLineStartingWith(std::deque<Line>& lines, const std::string& prefix, Line* found) {
    while (!lines.empty()) {
        Line line = std::move(lines.front());
        lines.pop_front();
        if (line.text.rfind(prefix, 0) == 0) {
            if (found) {
                *found = std::move(line);
            }
            return true;
        }
    }
    return false;
}

ToolResult RunTool(const Child::Launch& launch, int timeoutMs) {
    ToolResult result;
    Child tool;
    if (!tool.Start(launch)) {
        result.errors = tool.Error();
        return result;
    }
    result.finished = WaitUntil(
        {&tool}, [&] { return !tool.Running(); }, timeoutMs);
    tool.Stop();
    // What it wrote before ending may still sit in the pipes: read to their ends (bounded, as
    // something it started could hold them open).
    WaitUntil(
        {&tool}, [&] { return !tool.OutputOpen(); }, kDrainMs);
    result.status = result.finished ? tool.ExitStatus() : -1;
    for (const Line& line : tool.out) {
        result.output += line.text + "\n";
    }
    result.errors = tool.errLog;
    return result;
}

std::optional<double> ProcessFigures::CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return std::nullopt;
    }
    // The command name may hold spaces and parentheses: fields are counted after the last ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    constexpr std::size_t kUtime = 11; // field 14 of the file, counted from field 3 here
    constexpr std::size_t kStime = 12;
    if (values.size() <= kStime) {
        return std::nullopt;
    }
    const double ticks = std::stod(values[kUtime]) + std::stod(values[kStime]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<std::int64_t> ProcessFigures::StatusKb(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stoll(line.substr(prefix.size()));
        }
    }
    return std::nullopt;
}

UdpSocketFigures UdpSocketFigures::Of(pid_t pid, int port) {
    UdpSocketFigures figures;
    std::ifstream table("/proc/" + std::to_string(pid) + "/net/udp");
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    std::string line;
    std::getline(table, line); // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::vector<std::string> values;
        for (std::string value; fields >> value;) {
            values.push_back(value);
        }
        // sl local rem st tx:rx tr:when retrnsmt uid timeout inode ref pointer drops
        if (values.size() < 13 || values[1].size() < 5 ||
            values[1].compare(values[1].size() - 5, 5, wanted) != 0) {
            continue;
        }
        const std::string& queues = values[4];
        figures.found = true;
        figures.rxQueueBytes = std::stoll(queues.substr(queues.find(':') + 1), nullptr, 16);
        figures.drops = std::stoll(values[12]);
        return figures;
    }
    return figures;
}

double Samples::PercentileMs(double p) const {
    if (values_.empty()) {
        return 0;
    }
    std::vector<std::int64_t> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(sorted.size())));
    const std::size_t index = std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1);
    return double(sorted[index]) / 1e6;
}

double Samples::MaxMs() const {
    if (values_.empty()) {
        return 0;
    }
    return double(*std::max_element(values_.begin(), values_.end())) / 1e6;
}

} // namespace tallybell::bench
