#include "tests/support/running_process.h"

#include "tests/support/two_hosts.h"
#include "tests/support/wait.h"

#include <sys/types.h>

namespace tallybell::testing {

RunningProcess::~RunningProcess() {
    if (Running()) {
        process_.kill();
        process_.waitForFinished(kStopMs);
    }
}

QStringList RunningProcess::AppCommand(const QString& configHome, const QStringList& settings) {
    return QStringList{"env", "XDG_CONFIG_HOME=" + configHome} + settings +
           QStringList{TwoHosts::Bin("tallybell")};
}

bool RunningProcess::Start(const QStringList& command, const std::function<void()>& childSetup) {
    if (childSetup) {
        process_.setChildProcessModifier(childSetup);
    }
    process_.start(command.first(), command.mid(1));
    return process_.waitForStarted(kStartMs);
}

void RunningProcess::drain() {
    output_ += process_.readAllStandardOutput();
    errors_ += process_.readAllStandardError();
}

const QByteArray& RunningProcess::Output() {
    drain();
    return output_;
}

QString RunningProcess::Errors() {
    drain();
    return QString::fromUtf8(errors_);
}

QStringList RunningProcess::Lines() {
    QStringList lines = Errors().split('\n');
    lines.removeLast(); // an unfinished line, or the empty text after the last line end
    return lines;
}

bool RunningProcess::WaitForLine(const QString& line, int timeoutMs) {
    return WaitFor([&] { return Lines().contains(line); }, timeoutMs);
}

QString RunningProcess::WaitForLineStarting(const QStringList& prefixes, int timeoutMs) {
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

bool RunningProcess::WaitForEnd(int timeoutMs) {
    const bool ended = WaitFor([&] { return !Running(); }, timeoutMs);
    drain();
    return ended;
}

std::optional<int> RunningProcess::Terminate(int signal) {
    if (!Running()) {
        drain();
        return std::nullopt;
    }
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    if (!WaitForEnd(kStopMs)) {
        killed_ = true;
        process_.kill();
        process_.waitForFinished(kStopMs);
        drain();
        return std::nullopt;
    }
    if (process_.exitStatus() != QProcess::NormalExit) {
        return std::nullopt;
    }
    return process_.exitCode();
}

::testing::AssertionResult RunningProcess::EndedCleanly(int status) {
    drain();
    const QString command = process_.program() + " " + process_.arguments().join(' ');
    auto failure = [&](const QString& why) {
        return ::testing::AssertionFailure()
               << qPrintable(command) << "\n  " << qPrintable(why) << "; its standard error:\n"
               << errors_.constData();
    };
    if (Running()) {
        return failure("is still running");
    }
    if (killed_) {
        return failure(
            QStringLiteral("did not end within %1 ms of its signal and was killed").arg(kStopMs));
    }
    if (process_.exitStatus() != QProcess::NormalExit) {
        return failure("was ended by a signal");
    }
    if (process_.exitCode() != status) {
        return failure("ended with status " + QString::number(process_.exitCode()));
    }
    return ::testing::AssertionSuccess();
}

} // namespace tallybell::testing
