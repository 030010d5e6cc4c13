#include "framework/timer.h"

#include "framework/runtime.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace fw {

namespace {
int clampMilliseconds(std::int64_t ms) {
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, INT_MAX));
}
} // namespace

Timer::Timer() : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        // The handler may release the last reference to this timer; keep it alive meanwhile.
        auto keepAlive = weak_from_this().lock();
        if (runMode_ == Single) {
            runMode_ = Off;
        }
        _CallAction();
    });
}

Timer::~Timer() = default;

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

void Timer::apply() {
    if (runMode_ == Off) {
        timer_->stop();
        return;
    }
    timer_->setSingleShot(runMode_ == Single);
    timer_->start(clampMilliseconds(period_));
}

void Timer::CallLater(std::int64_t milliseconds, std::function<void()> fn) {
    QTimer::singleShot(clampMilliseconds(milliseconds), QCoreApplication::instance(),
                       [fn = std::move(fn)] { RaiseEvent(fn); });
}

} // namespace fw
