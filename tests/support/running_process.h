#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>

namespace tallybell::testing {

/// A process a test started (the application, the alarm test peer), its output gathered while
/// the test waits. Standard error, where the application writes its debug log, is read line by
/// line. Killed, if still running, when it goes.
class RunningProcess {
public:
    static constexpr int kStartMs = 15000; // a sanitized build starts slowly
    // Only bounds a failure: a sanitized application on a loaded machine can take seconds to quit.
    static constexpr int kStopMs = 20000;

    RunningProcess() = default;
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    /// The command that runs the application with XDG_CONFIG_HOME=configHome and the given
    /// settings (NAME=value; Qt's offscreen platform unless told).
    static QStringList AppCommand(const QString& configHome,
                                  const QStringList& settings = {"QT_QPA_PLATFORM=offscreen"});

    /// Starts command (the program, then its arguments); childSetup runs in the child before the
    /// program (limits, signal dispositions). False when it did not start.
    bool Start(const QStringList& command, const std::function<void()>& childSetup = {});

    /// The whole lines written to standard error so far.
    QStringList Lines();
    qsizetype Count(const QString& line) { return Lines().count(line); }
    bool WaitForLine(const QString& line, int timeoutMs = kStartMs);
    /// The first line that begins with one of prefixes, once there is one; empty when none came
    /// in time or the process ended first.
    QString WaitForLineStarting(const QStringList& prefixes, int timeoutMs = kStartMs);
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    /// Whether it is still running after ms (an early end ends the wait).
    bool LivesFor(int ms) { return !WaitForEnd(ms); }
    bool WaitForEnd(int timeoutMs);
    /// The signal, then a bounded wait: the exit code of a normal exit, or nothing when it was
    /// not running, crashed or did not end (it is killed then).
    std::optional<int> Terminate(int signal = SIGTERM);
    /// Whether it has ended normally (not by a signal) with status; otherwise why not, with its
    /// standard error.
    ::testing::AssertionResult EndedCleanly(int status = 0);

    qint64 Pid() const { return process_.processId(); }
    int ExitCode() const { return process_.exitCode(); }
    /// Everything written so far to standard output, and to standard error.
    const QByteArray& Output();
    QString Errors();

private:
    void drain();

    QProcess process_;
    QByteArray output_;
    QByteArray errors_;
    bool killed_ = false;
};

} // namespace tallybell::testing
