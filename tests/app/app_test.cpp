#include "app/ui/alarm_window.h"
#include "app/ui/med_button.h"
#include "app/ui/name_prompt.h"
#include "app_fixture.h"
#include "framework/core/timer.h"
#include "framework/core/udp_socket.h"
#include "framework/gui/message_box.h"
#include "framework/gui/window.h"
#include "platform/stand_in_runtime.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tallybell::testing {
namespace {

using StartUp = AppTest;
using Watchdog = AppTest;
using Quitting = AppTest;

constexpr const char* kRetryingText =
    "No network to join it on yet: Tallybell tries again every five minutes.";

TEST_F(StartUp, FirstStartJoinsTheDefaultGroupWithDefaultsKeptInMemoryOnly) {
    open();
    EXPECT_FALSE(log.Contains("Preferences loaded"));
    EXPECT_TRUE(log.Contains(kJoinedDefault));
    EXPECT_TRUE(QDir(config.path() + "/Tallybell").exists());
    EXPECT_FALSE(QFile::exists(prefsPath())) << "defaults must not be saved at start-up";
    EXPECT_TRUE(boxes.Texts().empty());

    ASSERT_TRUE(app->Socket1);
    EXPECT_EQ(app->Socket1->Port(), kDefaultPort);
    EXPECT_EQ(app->Socket1->RouterHops(), 10);
    EXPECT_TRUE(app->Socket1->SendToSelf());
    EXPECT_TRUE(app->Socket1->IsConnected());
    EXPECT_EQ(app->myName, fw::String(""));
    EXPECT_FALSE(app->AutoQuit());
}

TEST_F(StartUp, ASuccessfulJoinHoldsOneUserInitiatedActivityForTheRestOfTheProcess) {
    open();
    const auto& activities = platform::standin::Activities();
    ASSERT_EQ(activities.size(), 1u);
    EXPECT_EQ(activities[0].options, 0xEFFFFFu);
    EXPECT_EQ(activities[0].reason, "Need instant response to UDP packet");
    EXPECT_FALSE(activities[0].ended);
    EXPECT_GT(platform::standin::RetainCount(activities[0].token), 0)
        << "the activity must outlive the holder that began it";
}

TEST_F(StartUp, StoredSettingsChooseNamePortAndGroupAndThePortIsTruncated) {
    writePrefs(R"({"alarmName":"Ann","port":"40001.9","mCastIP":"239.1.2.5"})");
    open();
    EXPECT_TRUE(log.Contains("Preferences loaded"));
    EXPECT_TRUE(log.Contains("Joined multicast group 239.1.2.5:40001.9"));
    EXPECT_EQ(app->Socket1->Port(), 40001);
    EXPECT_EQ(app->myName, fw::String("Ann"));
}

TEST_F(StartUp, FailedJoinTellsTheUserAndStartsNoWatchdogButAFirstStartStillAsksTheName) {
    fw::UDPSocket blocker; // another instance holding the port
    blocker.Port(kDefaultPort);
    blocker.Connect();
    ASSERT_TRUE(blocker.IsBound());

    open();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], std::string("Could not join multicast group! ") + kDefaultGroup +
                                    "\nIs Tallybell already running?");
    EXPECT_FALSE(app->watchdog);
    EXPECT_TRUE(platform::standin::Activities().empty());
    EXPECT_FALSE(log.Contains(kJoinedDefault));
    ASSERT_TRUE(app->Socket1) << "the unjoined socket stays in place";
    EXPECT_NE(fw::Window::_GetImplicitWindow("startup.startup"), nullptr)
        << "no name is stored, so the prompt shows whatever the join gave";
}

// A port or group that could not be bound or joined gives way to its default: the receiver
// listens where a first start would, not nowhere.
TEST_F(StartUp, AStoredPortOrGroupThatCannotBeUsedTakesItsDefaultAndJoins) {
    writePrefs(R"({"alarmName":"Ann","port":"65536","mCastIP":"::1"})");
    open();
    EXPECT_TRUE(log.Contains("Preferences loaded"));
    EXPECT_TRUE(log.Contains(kJoinedDefault));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(app->Socket1->IsConnected());
}

// Only loopback and no route for the groups: the join fails for want of a network, which is no
// other instance. The user is told so, and the watchdog joins once the network is there.
TEST_F(StartUp, StartedBeforeTheNetworkItSaysSoAndTheWatchdogJoinsOnceItIsUp) {
    fw::TestClock clock;
    routeGroups(false);
    open();
    EXPECT_FALSE(log.Contains(kJoinedDefault));
    EXPECT_TRUE(log.Contains(std::string("Could not join multicast group ") + kDefaultGroup +
                             ": No such device"));
    clock.Advance(0);
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{std::string("Could not join multicast group! ") +
                                       kDefaultGroup + "\n" + kRetryingText});
    ASSERT_TRUE(app->watchdog);
    EXPECT_FALSE(app->AutoQuit());
    EXPECT_EQ(platform::standin::Activities().size(), 1u);

    expectTheNextRunRejoins(clock);
    sendDatagram(kCancelCommand);
    EXPECT_TRUE(waitForLine("Alert recieved from 127.0.0.2"));
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(StartUp, EveryDatagramBecomesTheReplyTargetAndIsLogged) {
    writePrefs(PrefsNamed("Ann"));
    open();
    for (const std::string& payload : {std::string(), std::string("ACK,Bob"), std::string("alarm"),
                                       std::string("\0\1\2", 3), std::string(65507, 'x')}) {
        log.Clear();
        sendDatagram(payload, "127.0.0.3");
        ASSERT_TRUE(waitForLine("Alert recieved from 127.0.0.3"));
        EXPECT_EQ(app->Socket1->rxIP, fw::String("127.0.0.3"));
    }
}

TEST_F(StartUp, ABurstOfAThousandDatagramsIsLoggedOnceEach) {
    open();
    // Bursts of 200: a stock kernel's receive buffer holds a few hundred small datagrams.
    for (std::size_t sent = 200; sent <= 1000; sent += 200) {
        for (int i = 0; i < 200; ++i) {
            sendDatagram(i % 2 ? kCancelCommand : "noise");
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return log.Count("Alert recieved from 127.0.0.2") >= sent; }, 10000));
    }
    QTest::qWait(50);
    EXPECT_EQ(log.Count("Alert recieved from 127.0.0.2"), 1000u);
}

TEST_F(StartUp, ReplyGoesToTheLastSenderButNeverToThisMachine) {
    open();
    sendDatagram("are you there?", "127.0.0.2");
    ASSERT_TRUE(waitForLine("Alert recieved from 127.0.0.2"));
    log.Clear();

    // 127.0.0.2 shares this host's port, so the acknowledgement comes back to our own socket.
    app->Socket1->reply("ACK,Ann");
    EXPECT_TRUE(log.Contains("Replied to 127.0.0.2"));
    ASSERT_TRUE(waitForLine("Alert recieved from 127.0.0.1"));

    log.Clear();
    app->Socket1->reply("ACK,Ann");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Local Alarm, no ACK sent"});
}

// A source that is no one host is logged like any sender but never answered; a reply the kernel
// refuses says so, and why, instead of claiming it was sent.
TEST_F(StartUp, OnlyAHostCanBeTheReplyTargetAndOnlyASentReplyIsLoggedAsSent) {
    open();
    sendDatagram(kCancelCommand, "127.0.0.2");
    ASSERT_TRUE(waitForLine("Alert recieved from 127.0.0.2"));
    for (const auto& [source, destination] :
         {std::pair{"0.0.0.0", "255.255.255.255"}, std::pair{"224.0.0.1", "127.0.0.1"},
          std::pair{"255.255.255.255", "127.0.0.1"}}) {
        SCOPED_TRACE(source);
        ASSERT_EQ(SendForged(source, destination, kDefaultPort, kCancelCommand), "");
        EXPECT_TRUE(waitForLine(std::string("Alert recieved from ") + source));
        EXPECT_EQ(app->Socket1->rxIP, fw::String("127.0.0.2"));
    }

    log.Clear();
    app->Socket1->reply(fw::String(kAckPrefix) + std::string(65504, 'x'));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Could not reply to 127.0.0.2: " +
                                                    std::string(std::strerror(EMSGSIZE))});
}

TEST_F(Watchdog, RunsEveryFiveMinutesFromASuccessfulJoin) {
    fw::TestClock clock;
    open();
    log.Clear();
    clock.Advance(kWatchdogPeriodMs - 1);
    EXPECT_TRUE(log.Lines().empty());
    clock.Advance(1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"watchdog run....", "....still connected"}));
    clock.Advance(kWatchdogPeriodMs);
    EXPECT_EQ(log.Count("watchdog run...."), 2u);
}

TEST_F(Watchdog, ALostSocketIsRebuiltOnTheGroupAndPortInUse) {
    writePrefs(R"({"alarmName":"Ann","port":"40002","mCastIP":"239.9.9.9"})");
    open();
    ASSERT_TRUE(log.Contains("Joined multicast group 239.9.9.9:40002"));
    app->Socket1->Close();
    log.Clear();

    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"watchdog run....", "Joined multicast group 239.9.9.9"}));
    EXPECT_EQ(app->Socket1->Port(), 40002);
    EXPECT_EQ(app->Socket1->RouterHops(), 1);
    EXPECT_TRUE(app->Socket1->SendToSelf());
    EXPECT_EQ(app->Socket1->rxIP, fw::String(""));

    UdpSender sender("127.0.0.2");
    ASSERT_TRUE(sender.Send("239.9.9.9", 40002, kCancelCommand)) << sender.Error();
    EXPECT_TRUE(waitForLine("Alert recieved from 127.0.0.2"));
}

// A rebuild that cannot join (no route to the group) is tried again at every run until it
// holds; the user is told once per outage, after the run, never from inside the timer's action,
// and the runs keep their five-minute schedule while the box stays open.
TEST_F(Watchdog, AFailedJoinIsTriedAtEveryRunAndToldOncePerOutageOnSchedule) {
    fw::TestClock clock;
    const fw::MessageBoxLeftOpen unanswered;
    open();
    const std::string failed =
        std::string("Could not join multicast group ") + kDefaultGroup + ": No such device";
    routeGroups(false);
    EXPECT_FALSE(app->Socket1->IsConnected()) << "no route leads to the group any more";
    log.Clear();

    app->watchdogRun(*app->watchdog);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"watchdog run....", failed}));
    EXPECT_TRUE(unanswered.OpenTexts().empty()) << "the box opened inside the watchdog's action";
    clock.Advance(0);
    EXPECT_EQ(unanswered.OpenTexts(), std::vector<std::string>{"Could not join multicast group!"});
    EXPECT_FALSE(app->Socket1->IsConnected()) << "a socket without its membership";

    for (int run = 1; run <= 3; ++run) {
        clock.Advance(kWatchdogPeriodMs);
        EXPECT_EQ(app->watchdog->FireCount(), run);
        EXPECT_EQ(log.Count(failed), std::size_t(run + 1));
    }
    EXPECT_EQ(unanswered.OpenTexts().size(), 1u) << "told once per outage";

    expectTheNextRunRejoins(clock);
    clock.Advance(kWatchdogPeriodMs);
    EXPECT_TRUE(log.Contains("....still connected"));

    routeGroups(false);
    clock.Advance(kWatchdogPeriodMs);
    EXPECT_EQ(unanswered.OpenTexts().size(), 2u) << "a new outage is told again";
    EXPECT_EQ(app->watchdog->FireCount(), 6);
}

TEST_F(Quitting, CloseBeforeAnySocketExistsRaisesAndWritesNothing) {
    fw::RaiseEvent([this] { app->Event_Close(); });
    EXPECT_TRUE(systemLog.Entries().size() == 1u &&
                systemLog.Entries()[0].second.find("NilObjectException") != std::string::npos);
}

// The events each class answers for, out of those the framework may ask about.
TEST(EventTables, EachClassAnswersForTheEventsItHandlesAndNoOthers) {
    fw::RuntimePerformInitializers();
    const auto handled = [](const auto& object) {
        std::string names;
        for (const char* event :
             {"Open", "Close", "Activate", "Paint", "MouseUp", "DataAvailable", "Error"}) {
            if (object.IsEventImplemented(event)) {
                names += (names.empty() ? "" : " ") + std::string(event);
            }
        }
        return names;
    };
    const class App app;
    const class Window1 window;
    const class startup prompt;
    EXPECT_EQ(handled(app), "Open Close");
    EXPECT_EQ(handled(Socket()), "DataAvailable");
    EXPECT_EQ(handled(medButton()), "Paint MouseUp");
    EXPECT_EQ(handled(window), "Close");
    EXPECT_EQ(handled(prompt), "Open Close");
}

} // namespace
} // namespace tallybell::testing
