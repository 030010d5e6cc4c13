// tallybell-bench-ack: the acknowledgement round trip, in process. It starts the application
// (the same start-up as the executable, against the preferences in $XDG_CONFIG_HOME), has the
// peer raise alarms, and clicks the real medButton of the real alarm window with QTest mouse
// events; the peer, in its own namespace, stamps the acknowledgement's arrival on the shared
// monotonic clock. Run in the application's host; the benchmark runner starts it.
//
//   tallybell-bench-ack --peer-netns /proc/<pid>/ns/net --peer <tallybell-bench-peer>
//                       [--count N] [--group G] [--port P] [--peer-address A]
//
// Standard output: one "result <label> <samples> <lost> <p50 ms> <p99 ms> <max ms>" line for the
// application and for each yardstick (a plain socket's send; a bare QPushButton's click that
// sends), then "done". Exit status 0 when every round trip completed.

#include "app/app.h"
#include "app/startup_sequence.h"
#include "app/ui/alarm_window.h"
#include "bench/harness.h"
#include "framework/core/debug_log.h"
#include "framework/gui/control.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/wait.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tallybell::bench {
namespace {

using testing::WaitFor;

constexpr int kReadyTimeoutMs = 10000;
constexpr int kAckTimeoutMs = 2000;
constexpr int kAlarmTimeoutMs = 5000;
constexpr int kPressSettleMs = 1;
const QPoint kButtonCentre(125, 46);
const char* const kAckPayload = "ACK,Ann Lee";

struct Options {
    std::string peerNetns;
    std::string peerBin;
    std::string group = "239.1.2.4";
    std::string peerAddress = "198.18.0.2";
    int port = 40001;
    int count = 1000;
};

/// The peer, in its namespace; its lines are read as the event loop turns.
class Peer {
public:
    bool Start(const Options& options) {
        process_.start("nsenter", {QString::fromStdString("--net=" + options.peerNetns), "--",
                                   QString::fromStdString(options.peerBin), "--group",
                                   QString::fromStdString(options.group), "--port",
                                   QString::number(options.port), "--max-seconds", "900"});
        return process_.waitForStarted(kReadyTimeoutMs) && WaitForLine("ready", kReadyTimeoutMs);
    }
    ~Peer() {
        process_.write("quit\n");
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    void Order(const std::string& order) { process_.write((order + "\n").c_str()); }
    /// Waits for a line starting with prefix; the rest of it, or nullopt on timeout.
    std::optional<std::string> WaitForLine(const std::string& prefix, int timeoutMs) {
        std::optional<std::string> found;
        WaitFor([&] { return (found = take(prefix)).has_value(); }, timeoutMs);
        return found;
    }

private:
    std::optional<std::string> take(const std::string& prefix) {
        pending_ += process_.readAllStandardOutput().toStdString();
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.rfind(prefix, 0) == 0) {
                return line.substr(prefix.size());
            }
        }
        return std::nullopt;
    }

    QProcess process_;
    std::string pending_;
};

/// Times each round: clickAt() does the click and gives its moment; the peer's "recv" stamp of
/// the acknowledgement closes the round.
struct Rounds {
    Samples samples;
    int lost = 0;

    void Run(Peer& peer, int count, const std::function<bool()>& prepare,
             const std::function<std::int64_t()>& clickAt) {
        for (int i = 0; i < count; ++i) {
            if (!prepare()) {
                ++lost;
                continue;
            }
            const std::int64_t clicked = clickAt();
            const auto ack = peer.WaitForLine("recv ", kAckTimeoutMs);
            long long arrived = 0;
            char payload[64] = {};
            if (!ack || std::sscanf(ack->c_str(), "%lld %*s %63[^\n]", &arrived, payload) != 2 ||
                std::strcmp(payload, kAckPayload) != 0) {
                ++lost;
                continue;
            }
            samples.Add(arrived - clicked);
        }
    }

    void Print(const char* label) const {
        std::printf("result %s %zu %d %.4f %.4f %.4f\n", label, samples.Count(), lost,
                    samples.PercentileMs(50), samples.PercentileMs(99), samples.MaxMs());
        std::fflush(stdout);
    }
};

/// A plain UDP socket of this host, sending what the application's reply sends.
class PlainSender {
public:
    explicit PlainSender(const Options& options) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(static_cast<std::uint16_t>(options.port));
        ::inet_pton(AF_INET, options.peerAddress.c_str(), &to_.sin_addr);
    }
    ~PlainSender() { ::close(fd_); }
    bool Ok() const { return fd_ >= 0; }
    void Send() {
        [[maybe_unused]] const ssize_t sent =
            ::sendto(fd_, kAckPayload, std::strlen(kAckPayload), 0,
                     reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    }

private:
    int fd_;
    sockaddr_in to_{};
};

/// Press, let the press be painted as a user's would, then release: the release is the click.
std::int64_t click(QWidget* widget, const QPoint& at) {
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::qWait(kPressSettleMs);
    const std::int64_t clicked = NowNs();
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    return clicked;
}

std::shared_ptr<class Window1> shownAlarmWindow() {
    const auto window = fw::Cast<class Window1>(fw::Window::_GetImplicitWindow("Window1.Window1"));
    QMainWindow* widget = window ? fw::qtWindow(*window) : nullptr;
    return widget && widget->isVisible() ? window : nullptr;
}

class Driver {
public:
    explicit Driver(Options options) : options_(std::move(options)) {}

    bool Run() {
        if (!peer_.Start(options_)) {
            std::fprintf(stderr, "bench-ack: the peer did not start\n");
            return false;
        }
        const std::string joined =
            "Joined multicast group " + options_.group + ":" + std::to_string(options_.port);
        if (!WaitFor([&] { return log_.Contains(joined); }, kReadyTimeoutMs)) {
            std::fprintf(stderr, "bench-ack: the application did not join its group\n");
            return false;
        }
        plainSocket();
        bareButton();
        application();
        return application_.lost == 0;
    }

private:
    void plainSocket() {
        PlainSender sender(options_);
        Rounds rounds;
        rounds.Run(
            peer_, options_.count, [&] { return sender.Ok(); },
            [&] {
                const std::int64_t at = NowNs();
                sender.Send();
                return at;
            });
        rounds.Print("plain-socket-send");
    }

    void bareButton() {
        PlainSender sender(options_);
        QWidget window;
        window.resize(600, 400);
        QPushButton button("On my Way!", &window);
        button.setGeometry(175, 288, 250, 92);
        QObject::connect(&button, &QPushButton::clicked, [&] { sender.Send(); });
        window.show();
        Rounds rounds;
        if (QTest::qWaitForWindowExposed(&window)) {
            rounds.Run(
                peer_, options_.count, [] { return true; },
                [&] { return click(&button, kButtonCentre); });
        }
        rounds.Print("bare-qt-button");
    }

    void application() {
        const std::string alert = "Alert recieved from " + options_.peerAddress;
        application_.Run(
            peer_, options_.count,
            [&] {
                const std::size_t before = log_.Count(alert);
                peer_.Order("send ALARM");
                std::shared_ptr<class Window1> window;
                return WaitFor(
                           [&] {
                               return log_.Count(alert) > before &&
                                      (window = shownAlarmWindow()) != nullptr;
                           },
                           kAlarmTimeoutMs) &&
                       QTest::qWaitForWindowExposed(fw::qtWindow(*window)) &&
                       (window_ = window->medButton1()->qtWidget()) != nullptr;
            },
            [&] { return click(window_, kButtonCentre); });
        log_.Clear();
        application_.Print("tallybell");
    }

    Options options_;
    fw::DebugLogCapture log_;
    Peer peer_;
    Rounds application_;
    QWidget* window_ = nullptr;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--peer-netns") {
            options.peerNetns = value;
        } else if (name == "--peer") {
            options.peerBin = value;
        } else if (name == "--count") {
            options.count = std::atoi(value);
        } else if (name == "--group") {
            options.group = value;
        } else if (name == "--port") {
            options.port = std::atoi(value);
        } else if (name == "--peer-address") {
            options.peerAddress = value;
        } else {
            return false;
        }
    }
    return !options.peerNetns.empty() && !options.peerBin.empty() && options.count > 0;
}

} // namespace
} // namespace tallybell::bench

int main(int argc, char** argv) {
    using namespace tallybell::bench;
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: tallybell-bench-ack --peer-netns PATH --peer PATH "
                             "[--count N] [--group G] [--port P] [--peer-address A]\n");
        return 2;
    }
    // Made here rather than by the runtime, so the driver can be queued before start-up runs;
    // the runtime uses the one it finds.
    QApplication qt(argc, argv);
    bool completed = false;
    {
        Driver driver(options);
        QTimer::singleShot(0, [&] {
            completed = driver.Run();
            fw::Quit(0);
        });
        tallybell::main();
    }
    std::printf("done\n");
    return completed ? 0 : 1;
}
