#pragma once

#include "framework/object.h"

#include <cstdint>
#include <functional>
#include <memory>

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

    std::int64_t period_ = 1000;
    std::int64_t runMode_ = Off;
    std::int64_t fireCount_ = 0;
    std::function<void(Timer&)> action_;
    std::unique_ptr<QTimer> timer_;
};

} // namespace fw
