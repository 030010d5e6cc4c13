#include "tests/faults/executable/running_app.h"

#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <QProcessEnvironment>

#include <csignal>

namespace tallybell::testing {

RunningApp::~RunningApp() {
    if (Running()) {
        process_.kill();
        process_.waitForFinished(kStopMs);
    }
}

bool RunningApp::Start(const QString& configHome, const std::function<void()>& childSetup) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process_.setProcessEnvironment(environment);
    if (childSetup) {
        process_.setChildProcessModifier(childSetup);
    }
    process_.start(TwoHosts::Bin("tallybell"), {});
    return process_.waitForStarted(kStartMs);
}

void RunningApp::drain() {
    errors_ += process_.readAllStandardError();
    process_.readAllStandardOutput(); // nothing is expected there; keep the pipe from filling
}

QStringList RunningApp::Lines() {
    drain();
    QStringList lines = QString::fromUtf8(errors_).split('\n');
    lines.removeLast(); // an unfinished line, or the empty text after the last line end
    return lines;
}

bool RunningApp::WaitForLine(const QString& line, int timeoutMs) {
    return WaitFor([&] { return Lines().contains(line); }, timeoutMs);
}

QString RunningApp::WaitForLineStarting(const QStringList& prefixes, int timeoutMs) {
    QString found;
    WaitFor(
        [&] {
            for (const QString& line : Lines()) {
                for (const QString& prefix : prefixes) {
                    if (line.startsWith(prefix)) {
                        found = line;
                        return true;
                    }
                }
            }
            return !Running();
        },
        timeoutMs);
    return found;
}

bool RunningApp::LivesFor(int ms) {
    return !WaitFor([&] { return !Running(); }, ms);
}

std::optional<int> RunningApp::Terminate(int signal) {
    if (!Running()) {
        drain();
        return std::nullopt;
    }
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    const bool ended = WaitFor([&] { return !Running(); }, kStopMs);
    drain();
    if (!ended) {
        process_.kill();
        process_.waitForFinished(kStopMs);
        return std::nullopt;
    }
    if (process_.exitStatus() != QProcess::NormalExit) {
        return std::nullopt;
    }
    return process_.exitCode();
}

} // namespace tallybell::testing
