#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <functional>
#include <optional>

namespace tallybell::testing {

/// The real executable, run in this test's network namespace on Qt's offscreen platform with a
/// preferences folder of the test's own. Its debug log is its standard error, read line by line.
class RunningApp {
public:
    static constexpr int kStartMs = 15000; // a sanitized build starts slowly
    static constexpr int kStopMs = 10000;

    RunningApp() = default;
    ~RunningApp();
    RunningApp(const RunningApp&) = delete;
    RunningApp& operator=(const RunningApp&) = delete;

    /// Starts it with XDG_CONFIG_HOME=configHome; childSetup runs in the child before the
    /// executable (limits, signal dispositions). False when it did not start.
    bool Start(const QString& configHome, const std::function<void()>& childSetup = {});

    /// The whole lines written to standard error so far.
    QStringList Lines();
    qsizetype Count(const QString& line) { return Lines().count(line); }
    bool WaitForLine(const QString& line, int timeoutMs = kStartMs);
    /// The first line that begins with one of prefixes, once there is one; empty when none came
    /// in time.
    QString WaitForLineStarting(const QStringList& prefixes, int timeoutMs = kStartMs);
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    /// Whether it is still running after ms (a crash ends the wait early).
    bool LivesFor(int ms);
    /// The signal (SIGTERM unless given), then a bounded wait: the exit code of a normal exit,
    /// or nothing when it crashed or did not end (it is killed then).
    std::optional<int> Terminate(int signal = SIGTERM);
    /// Everything it wrote to standard error, for failure messages.
    QString Errors() {
        drain();
        return QString::fromUtf8(errors_);
    }

private:
    void drain();

    QProcess process_;
    QByteArray errors_;
};

} // namespace tallybell::testing
