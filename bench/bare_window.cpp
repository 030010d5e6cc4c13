// tallybell-bench-bare-window: a bare Qt Widgets application with one window the size of the
// alarm window's content (600 x 400), built hidden as the alarm window is: the benchmarks'
// yardstick for start-up time, memory and idle cost.
//
//   tallybell-bench-bare-window [--max-seconds N]
//
// Standard error: "ready" once the event loop runs; "shown" once a shown window is exposed.
// Orders on standard input: "show", "hide", "tick <ms>" (a timer asking the window to repaint
// every <ms>, as the alarm animation does), "quit".

#include <QApplication>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kDefaultMaxSeconds = 1800;
constexpr int kExposeCheckMs = 2;

void say(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

class Bare {
public:
    Bare() : input_(STDIN_FILENO, QSocketNotifier::Read) {
        window_.setCentralWidget(new QWidget);
        window_.resize(kWidth, kHeight);
        QObject::connect(&input_, &QSocketNotifier::activated, [this] { read(); });
        QObject::connect(&tick_, &QTimer::timeout, [this] { window_.centralWidget()->update(); });
        QObject::connect(&exposeCheck_, &QTimer::timeout, [this] {
            if (window_.windowHandle() && window_.windowHandle()->isExposed()) {
                exposeCheck_.stop();
                say("shown");
            }
        });
    }

private:
    void read() {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input_.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            obey(pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
    }

    void obey(const std::string& order) {
        int ms = 0;
        if (order == "show") {
            window_.show();
            exposeCheck_.start(kExposeCheckMs);
        } else if (order == "hide") {
            window_.hide();
        } else if (std::sscanf(order.c_str(), "tick %d", &ms) == 1 && ms > 0) {
            tick_.start(ms);
        } else if (order == "quit") {
            QCoreApplication::quit();
        }
    }

    QMainWindow window_;
    QSocketNotifier input_;
    QTimer tick_;
    QTimer exposeCheck_;
    std::string pending_;
};

} // namespace

int main(int argc, char** argv) {
    int maxSeconds = kDefaultMaxSeconds;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--max-seconds") == 0) {
            maxSeconds = std::atoi(argv[i + 1]);
        }
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    Bare bare;
    QTimer::singleShot(0, [] { say("ready"); });
    QTimer::singleShot(maxSeconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
