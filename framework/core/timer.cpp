#include "framework/core/timer.h"

#include "framework/core/events.h"
#include "framework/core/values.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <tuple>

namespace fw {

namespace {
TestClock* activeClock = nullptr;
// Entry ids are unique across clocks, so a timer cancelling on a clock that never had its entry
// cancels nothing.
std::uint64_t lastEntryId = 0;

int clampMilliseconds(std::int64_t ms) {
    return std::max(0, SaturateCast<int>(ms));
}
} // namespace

Timer::Timer() : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { timeout(); });
}

Timer::~Timer() {
    stop();
}

void Timer::Period(std::int64_t milliseconds) {
    period_ = milliseconds;
    apply();
}

void Timer::RunMode(std::int64_t mode) {
    runMode_ = mode;
    apply();
}

void Timer::Reset() {
    apply();
}

void Timer::_CallAction() {
    ++fireCount_;
    if (action_) {
        RaiseEvent([this] { action_(*this); });
    }
}

void Timer::timeout() {
    // The handler may release the last reference to this timer; keep it alive meanwhile.
    auto keepAlive = weak_from_this().lock();
    if (runMode_ == Single) {
        runMode_ = Off;
    }
    _CallAction();
}

void Timer::stop() {
    timer_->stop();
    if (clockEntry_ != 0) {
        TestClock::Cancel(clockEntry_);
    }
    clockEntry_ = 0;
}

void Timer::apply() {
    stop();
    if (runMode_ == Off) {
        return;
    }
    const int period = clampMilliseconds(period_);
    if (TestClock* clock = TestClock::Active()) {
        // A repeating timer of 0 ms fires whenever the event loop is idle; on the test clock it
        // fires every millisecond, so that advancing the clock always ends.
        const std::int64_t repeat = runMode_ == Multiple ? std::max(period, 1) : 0;
        clockEntry_ = clock->schedule(period, repeat, [this] { timeout(); });
        return;
    }
    timer_->setSingleShot(runMode_ == Single);
    timer_->start(period);
}

void Timer::CallLater(std::int64_t milliseconds, std::function<void()> fn) {
    if (TestClock* clock = TestClock::Active()) {
        clock->schedule(clampMilliseconds(milliseconds), 0,
                        [fn = std::move(fn)] { RaiseEvent(fn); });
        return;
    }
    QTimer::singleShot(clampMilliseconds(milliseconds), QCoreApplication::instance(),
                       [fn = std::move(fn)] { RaiseEvent(fn); });
}

TestClock::TestClock() : previous_(activeClock) {
    activeClock = this;
}

TestClock::~TestClock() {
    activeClock = previous_;
}

TestClock* TestClock::Active() {
    return activeClock;
}

void TestClock::Cancel(std::uint64_t id) {
    // Whichever installed clock holds the entry (a test may nest them).
    for (TestClock* clock = activeClock; clock; clock = clock->previous_) {
        clock->cancel(id);
    }
}

void TestClock::Advance(std::int64_t milliseconds) {
    const std::int64_t until = now_ + std::max<std::int64_t>(milliseconds, 0);
    while (Entry* next = nextDueBy(until)) {
        now_ = next->due;
        // The entry may go while it fires (a timer that stops or restarts itself): fire a copy.
        const std::function<void()> fire = next->fire;
        if (next->period > 0) {
            next->due += next->period;
            next->order = nextOrder_++;
        } else {
            cancel(next->id);
        }
        fire();
    }
    now_ = until;
}

std::uint64_t TestClock::schedule(std::int64_t delay, std::int64_t period,
                                  std::function<void()> fire) {
    const std::uint64_t id = ++lastEntryId;
    entries_.push_back({id, nextOrder_++, now_ + delay, period, std::move(fire)});
    return id;
}

void TestClock::cancel(std::uint64_t id) {
    std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
}

TestClock::Entry* TestClock::nextDueBy(std::int64_t until) {
    Entry* next = nullptr;
    for (Entry& entry : entries_) {
        if (entry.due <= until &&
            (!next || std::tie(entry.due, entry.order) < std::tie(next->due, next->order))) {
            next = &entry;
        }
    }
    return next;
}

} // namespace fw
