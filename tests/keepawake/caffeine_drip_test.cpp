#include "keepawake/caffeine_drip.h"
#include "platform/object_runtime.h"
#include "platform/stand_in_runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace tallybell {
namespace {

namespace standin = platform::standin;

std::vector<std::string> described(const std::vector<standin::Record>& records) {
    std::vector<std::string> lines;
    lines.reserve(records.size());
    for (const auto& record : records) {
        lines.push_back(standin::Describe(record));
    }
    return lines;
}

long countOf(const std::string& message) {
    const auto lines = described(standin::Messages());
    return std::count(lines.begin(), lines.end(), message);
}

platform::id sharedProcessInfo() {
    return platform::objc_msgSend(platform::NSClassFromString("NSProcessInfo"),
                                  platform::sel_registerName("processInfo"));
}

class KeepAwake : public ::testing::Test {
protected:
    void SetUp() override {
        processInfo = sharedProcessInfo();
        infoCount = standin::RetainCount(processInfo);
        standin::ClearJournal();
    }

    platform::id processInfo = nullptr;
    long infoCount = 0;
};

TEST_F(KeepAwake, StartUpsHolderSendsItsCallsInOrderAndReleasesTheReasonAtOnce) {
    caffeineDrip drip;
    drip.Reason = "Need instant response to UDP packet";
    drip.start();

    const std::vector<std::string> expected{
        "sel_registerName(\"processInfo\")",
        "NSClassFromString(\"NSProcessInfo\")",
        "+[NSProcessInfo processInfo]",
        "sel_registerName(\"retain\")",
        "-[NSProcessInfo retain]",
        "sel_registerName(\"beginActivityWithOptions:reason:\")",
        "NewSystemString(\"Need instant response to UDP packet\")",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one record, split at the margin
        "-[NSProcessInfo beginActivityWithOptions:reason:] 0xefffff "
        "@\"Need instant response to UDP packet\"",
        "ReleaseSystemString(\"Need instant response to UDP packet\")",
        "sel_registerName(\"retain\")",
        "-[_NSActivityAssertion retain]",
    };
    EXPECT_EQ(described(standin::Journal()), expected);

    const auto& activity = standin::Activities().back();
    EXPECT_TRUE(drip.active());
    EXPECT_EQ(platform::FromRawReference(drip.token), activity.token);
    EXPECT_EQ(platform::FromRawReference(drip.cProcessInfo), processInfo);
    EXPECT_EQ(activity.options, 0xEFFFFFu);
    EXPECT_EQ(standin::RetainCount(processInfo), infoCount + 1);
    EXPECT_EQ(standin::RetainCount(standin::Journal()[6].receiver), 0); // the reason string
    drip.stop();
}

// Each row: which settings differ from their defaults (sudden and automatic termination both
// disallowed by one flag), and the options begun with.
struct OptionsRow {
    bool background, noIdleSystemSleep, noIdleDisplaySleep, noTermination, latencyCritical;
    std::uint64_t options;
};

TEST_F(KeepAwake, OptionsFollowTheSettings) {
    const OptionsRow rows[] = {
        {false, false, false, false, false, 0xEFFFFF},
        {false, true, false, false, false, 0xFFFFFF},
        {true, false, false, false, false, 0xFF},
        {true, true, false, false, false, 0xFF}, // background ignores idle system sleep
        {false, false, true, false, false, 0xEFFFFF | 0x10000000000},
        {false, false, false, true, false, 0xEFFFFF},
        {true, false, false, true, false, 0xFF | 0x8000 | 0x4000},
        {false, false, false, false, true, 0xEFFFFF | 0xFF00000000},
        {true, true, true, true, true, 0xFF | 0xFF00000000 | 0x8000 | 0x10000000000 | 0x4000},
    };
    for (const OptionsRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
        standin::ClearJournal();
        caffeineDrip drip;
        drip.isBackgroundTask = row.background;
        drip.allowIdleSystemSleep = !row.noIdleSystemSleep;
        drip.allowIdleDisplaySleep = !row.noIdleDisplaySleep;
        drip.allowSuddenTermination = drip.allowAutomaticTermination = !row.noTermination;
        drip.latencyCritical = row.latencyCritical;
        drip.start();
        const auto messages = standin::Messages();
        ASSERT_EQ(messages.size(), 4u);
        ASSERT_EQ(messages[2].name, "beginActivityWithOptions:reason:");
        EXPECT_EQ(messages[2].arguments[0].value, row.options);
        EXPECT_EQ(standin::Activities().back().options, row.options);
        drip.stop();
    }
}

TEST_F(KeepAwake, NewHolderIsInactiveAndStopSendsNothing) {
    caffeineDrip drip;
    EXPECT_FALSE(drip.active());
    drip.stop();
    EXPECT_TRUE(standin::Journal().empty());
    EXPECT_EQ(drip.token, 0);
    EXPECT_EQ(drip.cProcessInfo, 0);
}

TEST_F(KeepAwake, StartTwiceHoldsOneActivityWithOneRetainOfTheProcessInfo) {
    const std::size_t activitiesBefore = standin::Activities().size();
    caffeineDrip drip;
    drip.start();
    const std::int64_t token = drip.token;
    const std::size_t sent = standin::Journal().size();
    drip.start();
    EXPECT_EQ(standin::Journal().size(), sent); // the second call sends nothing at all
    EXPECT_EQ(drip.token, token);
    EXPECT_EQ(standin::Activities().size(), activitiesBefore + 1);
    EXPECT_EQ(countOf("-[NSProcessInfo retain]"), 1);
    EXPECT_EQ(standin::RetainCount(processInfo), infoCount + 1);
    drip.stop();
}

TEST_F(KeepAwake, StopEndsTheActivityAndLetsGoOfEverything) {
    caffeineDrip drip;
    drip.start();
    const platform::id token = platform::FromRawReference(drip.token);
    standin::ClearJournal();
    drip.stop();

    const std::vector<std::string> expected{
        "sel_registerName(\"endActivity:\")",
        "-[NSProcessInfo endActivity:] <_NSActivityAssertion>",
        "sel_registerName(\"release\")",
        "-[_NSActivityAssertion release]",
        "sel_registerName(\"release\")",
        "-[NSProcessInfo release]",
    };
    EXPECT_EQ(described(standin::Journal()), expected);
    EXPECT_FALSE(drip.active());
    EXPECT_EQ(drip.cProcessInfo, 0);
    EXPECT_TRUE(standin::Activities().back().ended);
    EXPECT_EQ(standin::RetainCount(token), 0);
    EXPECT_EQ(standin::RetainCount(processInfo), infoCount);
}

TEST_F(KeepAwake, StartAfterStopBeginsASecondActivityWithTheSettingsThen) {
    const std::size_t activitiesBefore = standin::Activities().size();
    caffeineDrip drip;
    drip.Reason = "first";
    drip.start();
    drip.stop();
    drip.Reason = "second";
    drip.allowIdleSystemSleep = false;
    drip.start();

    const auto& activities = standin::Activities();
    ASSERT_EQ(activities.size(), activitiesBefore + 2);
    const auto& first = activities[activitiesBefore];
    const auto& second = activities[activitiesBefore + 1];
    EXPECT_TRUE(first.ended);
    EXPECT_EQ(first.reason, "first");
    EXPECT_EQ(first.options, 0xEFFFFFu);
    EXPECT_FALSE(second.ended);
    EXPECT_EQ(second.reason, "second");
    EXPECT_EQ(second.options, 0xFFFFFFu);
    EXPECT_EQ(platform::FromRawReference(drip.token), second.token);
    EXPECT_EQ(countOf("-[NSProcessInfo retain]"), 2);
    drip.stop();
}

TEST_F(KeepAwake, ReleasingAnActiveHolderLeavesItsActivityInForce) {
    auto drip = std::make_unique<caffeineDrip>();
    drip->Reason = "Need instant response to UDP packet";
    drip->start();
    const platform::id token = platform::FromRawReference(drip->token);
    standin::ClearJournal();

    drip.reset();

    EXPECT_TRUE(standin::Journal().empty());
    EXPECT_FALSE(standin::Activities().back().ended);
    EXPECT_EQ(standin::Activities().back().token, token);
    EXPECT_GT(standin::RetainCount(token), 0);
    EXPECT_EQ(standin::RetainCount(processInfo), infoCount + 1);
}

} // namespace
} // namespace tallybell
