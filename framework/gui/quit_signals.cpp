#include "framework/core/debug_log.h"
#include "framework/gui/application.h"
#include "framework/gui/quit_signals_p.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {

namespace {
int signalPipe[2] = {-1, -1};
bool terminationRequested = false;

extern "C" void forwardSignal(int signo) {
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}
} // namespace

void QuitOnTerminationSignals() {
    if (signalPipe[0] >= 0) {
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        DebugLog(String("Cannot watch for termination signals: ") + std::strerror(errno));
        return;
    }
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1) {
            terminationRequested = true;
            Quit(0);
        }
    });
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SIGHUP too: a closed terminal or an ended session is a request to quit, not a crash.
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signo, &action, nullptr) != 0) {
            DebugLog(String("Cannot handle signal: ") + std::strerror(errno));
        }
    }
}

bool TerminationRequested() {
    return terminationRequested;
}

} // namespace fw
