#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace tallybell::testing {

/// How long a test waits for something that normally happens at once. It only bounds a failure:
/// on a loaded machine, under the sanitizers, "at once" can take seconds.
constexpr int kWaitMs = 15000;

/// Runs the event loop until predicate holds or timeoutMs pass; whether it held. Unlike
/// QTest::qWaitFor it does not sleep between rounds, so a thousand events take no ten seconds.
template <class Predicate> bool WaitFor(Predicate predicate, int timeoutMs = kWaitMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // lets a round that waits for events end in time to see the deadline
    wake.start(10);
    while (!predicate()) {
        if (deadline.hasExpired()) {
            return predicate();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace tallybell::testing
