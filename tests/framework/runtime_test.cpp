#include "framework/debug_log.h"
#include "framework/runtime.h"
#include "framework/timer.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

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

TEST(TimerTest, RepeatingTimerFiresUntilTurnedOff) {
    auto timer = std::make_shared<Timer>();
    int fired = 0;
    timer->BindAction([&](Timer& t) {
        if (++fired == 3) {
            t.RunMode(Timer::Off);
        }
    });
    timer->Period(5);
    timer->RunMode(Timer::Multiple);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired >= 3; }, 2000));
    QTest::qWait(30);
    EXPECT_EQ(fired, 3);
}

TEST(TimerTest, CallLaterRunsOnceAfterTheDelay) {
    QElapsedTimer clock;
    clock.start();
    int calls = 0;
    qint64 at = 0;
    Timer::CallLater(50, [&] {
        ++calls;
        at = clock.elapsed();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 2000));
    EXPECT_GE(at, 45);
    QTest::qWait(60);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace fw
