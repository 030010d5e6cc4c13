#pragma once

#include "framework/core/object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace fw {

/// A timer on the main event loop; its Action runs every Period ms while RunMode is not Off.
class Timer : public Object {
public:
    enum RunModes : std::int64_t { Off = 0, Single = 1, Multiple = 2 };

    Timer();
    ~Timer() override;

    std::int64_t Period() const { return period_; }
    void Period(std::int64_t milliseconds);
    std::int64_t RunMode() const { return runMode_; }
    void RunMode(std::int64_t mode);
    /// Restarts the current period.
    void Reset();

    /// Binds the Action event; the handler receives this timer.
    void BindAction(std::function<void(Timer&)> handler) { action_ = std::move(handler); }
    /// How many times Action has fired (for tests and diagnostics).
    std::int64_t FireCount() const { return fireCount_; }

    /// One call of fn, milliseconds from now, on the main event loop.
    static void CallLater(std::int64_t milliseconds, std::function<void()> fn);

protected:
    /// Raises Action (framework use; a window-owned timer may extend it).
    virtual void _CallAction();

private:
    void apply();
    void stop();
    void timeout();

    std::int64_t period_ = 1000;
    std::int64_t runMode_ = Off;
    std::int64_t fireCount_ = 0;
    std::function<void(Timer&)> action_;
    std::unique_ptr<QTimer> timer_;
    std::uint64_t clockEntry_ = 0; // its place on the test clock; 0: none
};

/// Test hook: while alive, timers started and calls deferred with CallLater take their time from
/// this clock instead of the event loop's. Nothing fires until the test advances the clock, and
/// then everything due fires exactly when due, earliest first (at the same moment, in the order it
/// was scheduled). A timer already running on the event loop goes on there until restarted.
class TestClock {
public:
    TestClock();
    ~TestClock();
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    /// Milliseconds since the clock was installed.
    std::int64_t Now() const { return now_; }
    /// Moves the clock on by milliseconds, firing what falls due on the way.
    void Advance(std::int64_t milliseconds);

private:
    friend class Timer;
    struct Entry {
        std::uint64_t id;
        std::uint64_t order;
        std::int64_t due;
        std::int64_t period; // 0: once
        std::function<void()> fire;
    };

    static TestClock* Active();
    /// Removes an entry from whichever installed clock holds it.
    static void Cancel(std::uint64_t id);
    std::uint64_t schedule(std::int64_t delay, std::int64_t period, std::function<void()> fire);
    void cancel(std::uint64_t id);
    Entry* nextDueBy(std::int64_t until);

    std::int64_t now_ = 0;
    std::uint64_t nextOrder_ = 0;
    std::vector<Entry> entries_;
    TestClock* previous_;
};

} // namespace fw
