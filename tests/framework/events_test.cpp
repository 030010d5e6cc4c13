#include "framework/core/debug_log.h"
#include "framework/core/events.h"
#include "framework/core/timer.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

TEST(EventDispatch, UnhandledRuntimeExceptionIsLoggedAndTheCallerGoesOn) {
    DebugLogCapture log;
    SystemLogCapture syslog;
    bool after = false;
    RaiseEvent([] { throw NilObjectException(); });
    after = true;
    EXPECT_TRUE(after);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("NilObjectException"), std::string::npos);
    ASSERT_EQ(syslog.Entries().size(), 1u);
    EXPECT_EQ(syslog.Entries()[0].first, System::LogLevelError);
}

TEST(EventDispatch, ForeignExceptionsAreCaughtToo) {
    DebugLogCapture log;
    RaiseEvent([] { throw std::runtime_error("boom"); });
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("boom"), std::string::npos);
}

TEST(EventRegistry, AnswersPerClassAndTable) {
    RegisterClassEvents("Sample", {"Open", "Close"});
    EXPECT_TRUE(_RuntimeIsEventHandled(nullptr, "Sample", "Open", true));
    EXPECT_FALSE(_RuntimeIsEventHandled(nullptr, "Sample", "Open", false));
    EXPECT_FALSE(_RuntimeIsEventHandled(nullptr, "Sample", "Activate", true));
    EXPECT_FALSE(_RuntimeIsEventHandled(nullptr, "Other", "Open", true));
}

// On the event loop: a repeating timer fires until its handler turns it off, and CallLater runs.
TEST(TimerTest, OnTheEventLoopTimersRepeatAndCallLaterRuns) {
    auto timer = std::make_shared<Timer>();
    int fired = 0;
    timer->BindAction([&](Timer& t) {
        if (++fired == 3) {
            t.RunMode(Timer::Off);
        }
    });
    timer->Period(5);
    timer->RunMode(Timer::Multiple);
    bool called = false;
    Timer::CallLater(20, [&] { called = true; });
    EXPECT_TRUE(tallybell::testing::WaitFor([&] { return fired == 3 && called; }));
    EXPECT_EQ(timer->RunMode(), Timer::Off);
}

// On the test clock everything fires exactly when due, earliest first (at one moment, in the order
// scheduled), and nothing early.
TEST(TimerTest, OnTheTestClockEachTimerAndCallLaterFiresExactlyWhenDue) {
    TestClock clock;
    std::vector<std::string> fired;
    const auto note = [&](const char* what) {
        fired.push_back(what + ("@" + std::to_string(clock.Now())));
    };
    const auto every25 = std::make_shared<Timer>();
    every25->BindAction([&](Timer& t) {
        note("every25");
        if (t.FireCount() == 4) {
            t.RunMode(Timer::Off);
        }
    });
    every25->Period(25);
    every25->RunMode(Timer::Multiple);
    const auto once = std::make_shared<Timer>();
    once->BindAction([&](Timer&) { note("once"); });
    once->Period(60);
    once->RunMode(Timer::Single);
    Timer::CallLater(40, [&] { note("later"); });
    Timer::CallLater(40, [&] { note("later too"); });
    auto released = std::make_shared<Timer>();
    released->BindAction([&](Timer&) { note("released"); });
    released->RunMode(Timer::Multiple);
    released.reset();

    clock.Advance(24);
    EXPECT_TRUE(fired.empty());
    clock.Advance(1);
    clock.Advance(1000);
    EXPECT_EQ(fired,
              (std::vector<std::string>{"every25@25", "later@40", "later too@40", "every25@50",
                                        "once@60", "every25@75", "every25@100"}));
    EXPECT_EQ(once->RunMode(), Timer::Off);
    EXPECT_EQ(clock.Now(), 1025);

    fired.clear();
    every25->Period(10); // a new period starts from now
    every25->RunMode(Timer::Multiple);
    clock.Advance(25);
    EXPECT_EQ(fired, (std::vector<std::string>{"every25@1035", "every25@1045"}));
}

} // namespace
} // namespace fw
