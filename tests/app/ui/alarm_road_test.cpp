// The alarm road through the window: datagrams in through the application's socket, the horn and
// the animation, the button clicked through the window system, the acknowledgement out. The
// peer is a second loopback address on this host's port, so what is sent to it comes back here.
// Mouse events go through the window system (the module defines QTEST_QPA_MOUSE_HANDLING).
#include "app/alarm_protocol.h"
#include "app/alarm_socket.h"
#include "app/app.h"
#include "app/ui/alarm_window.h"
#include "framework/gui/message_box.h"
#include "framework/gui/runtime.h"
#include "tests/app/ui/alarm_fixture.h"
#include "tests/support/udp_sender.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tallybell::testing {
namespace {

constexpr const char* kPeer = "127.0.0.2"; // stands for another host on the loopback
const QPoint kButtonCentre(125, 46);

/// The application's socket, which from a given moment keeps what arrives instead of acting on it,
/// so that an acknowledgement sent to a peer on this host can be read back.
class KeepingSocket : public Socket {
public:
    bool keep = false;
    std::vector<std::pair<std::string, std::string>> kept; // (source, payload)

protected:
    void Event_DataAvailable() override {
        if (!keep) {
            Socket::Event_DataAvailable();
            return;
        }
        const auto datagram = Read();
        kept.emplace_back(fw::Deref(datagram).Address.Bytes(), datagram->Data.Bytes());
    }
};

class AlarmRoad : public AlarmWindowTest {
protected:
    void SetUp() override {
        AlarmWindowTest::SetUp();
        app = std::make_shared<class App>();
        app->Constructor();
        app->myName = "Ann Lee";
        fw::_RuntimeRegisterAppObject(app);
        socket = std::make_shared<KeepingSocket>();
        socket->Port(kDefaultPort);
        socket->SendToSelf(true);
        socket->Connect();
        ASSERT_TRUE(socket->IsBound()) << "errno " << socket->LastErrorCode();
        ASSERT_TRUE(socket->JoinMulticastGroup(kDefaultGroup))
            << "errno " << socket->LastErrorCode();
        app->Socket1 = socket;
    }

    void TearDown() override {
        AlarmWindowTest::TearDown();
        fw::_RuntimeRegisterAppObject(nullptr);
    }

    /// Sends payload from the peer and waits until the socket has taken it in.
    void receive(const std::string& payload) {
        const std::size_t before = log.Count(std::string("Alert recieved from ") + kPeer);
        UdpSender sender(kPeer);
        ASSERT_TRUE(sender.Send(kDefaultGroup, kDefaultPort, payload)) << sender.Error();
        ASSERT_TRUE(WaitFor([&] {
            return log.Count(std::string("Alert recieved from ") + kPeer) > before;
        })) << "\""
            << payload << "\" was not received";
    }

    void click(const AlarmWindow& window) {
        QTest::mouseClick(window.medButton1()->qtWidget(), Qt::LeftButton, {}, kButtonCentre);
    }

    /// What came back to this host's port once the socket began keeping.
    bool waitForKept(std::size_t count) {
        return WaitFor([&] { return socket->kept.size() >= count; });
    }

    std::shared_ptr<class App> app;
    std::shared_ptr<KeepingSocket> socket;
};

/// What a probe read when the first widget was shown: Qt sends the show event from within Show.
class OnFirstShow : public QObject {
public:
    explicit OnFirstShow(std::function<std::string()> probe) : probe_(std::move(probe)) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~OnFirstShow() override { QCoreApplication::instance()->removeEventFilter(this); }

    std::optional<std::string> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !seen) {
            seen = probe_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<std::string()> probe_;
};

// Each alarm schedules a horn of its own, exactly half a second after it; the animation steps
// once every 25 ms and carries on through the second alarm rather than starting again.
TEST_F(AlarmRoad, EachOfTwoAlarmsATenthApartSoundsTheHornExactlyHalfASecondLater) {
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(isShown(*window));
    clock.Advance(kFramePeriodMs - 1);
    EXPECT_EQ(window->frameCounter, 0);
    clock.Advance(1);
    EXPECT_EQ(window->frameCounter, 1);
    clock.Advance(100 - kFramePeriodMs);
    EXPECT_EQ(window->frameCounter, 4);
    receive(kAlarmCommand);
    EXPECT_EQ(openWindow1(), window) << "the same window";
    EXPECT_EQ(window->frameCounter, 4) << "the animation carries on, not from 0";

    clock.Advance(kHornDelayMs - 100 - 1);
    EXPECT_TRUE(recorder.Plays().empty()) << "the horn waits its full half second";
    clock.Advance(1);
    ASSERT_EQ(recorder.Plays().size(), 1u);
    EXPECT_EQ(recorder.Plays()[0], AirHorn()->Path());
    clock.Advance(99);
    EXPECT_EQ(recorder.Plays().size(), 1u);
    clock.Advance(1);
    EXPECT_EQ(recorder.Plays().size(), 2u) << "one play per alarm, each on its own delay";
    EXPECT_EQ(window->frameCounter, 24);
}

TEST_F(AlarmRoad, TheButtonAcknowledgesToTheSenderAndHidesEvenBeforeTheHorn) {
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    showAndWait(window);
    socket->keep = true;
    log.Clear();
    clock.Advance(kHornDelayMs - 1);
    click(*window);
    EXPECT_TRUE(recorder.Plays().empty());
    EXPECT_FALSE(isShown(*window));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{std::string("Replied to ") + kPeer});

    // The peer shares this host's port, so the acknowledgement comes back to this socket.
    ASSERT_TRUE(waitForKept(1));
    EXPECT_EQ(socket->kept[0].second, "ACK,Ann Lee");
    clock.Advance(1);
    EXPECT_EQ(recorder.Plays().size(), 1u) << "the click cancels no horn";
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple) << "hiding stops no timer";
    const std::int64_t hiddenFrame = window->frameCounter;
    clock.Advance(kFramePeriodMs);
    EXPECT_EQ(window->frameCounter, hiddenFrame + 1) << "a hidden window keeps animating";
    EXPECT_EQ(socket->kept.size(), 1u);
}

// A message box waiting for its answer ("Could not save preferences.", the watchdog's) must
// never keep an alarm from being seen, answered or called off.
TEST_F(AlarmRoad, WhileAMessageBoxIsOpenAnAlarmShowsIsAcknowledgedAndIsCancelled) {
    fw::MessageBoxLeftOpen boxes;
    fw::MsgBox("Could not save preferences.");
    ASSERT_EQ(boxes.OpenTexts(), std::vector<std::string>{"Could not save preferences."});
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    showAndWait(window);
    socket->keep = true;
    click(*window);
    ASSERT_TRUE(waitForKept(1)) << "the click was not acted on";
    EXPECT_EQ(socket->kept[0].second, "ACK,Ann Lee");
    EXPECT_FALSE(isShown(*window));

    socket->keep = false;
    receive(kAlarmCommand);
    EXPECT_TRUE(isShown(*window));
    receive(kCancelCommand);
    EXPECT_FALSE(isShown(*window));
    EXPECT_EQ(boxes.OpenTexts(), std::vector<std::string>{"Could not save preferences."});
}

// The sender becomes the reply target once its datagram has been acted on: while the window
// shows for an alarm, the target still names whoever sent before.
TEST_F(AlarmRoad, TheSenderBecomesTheReplyTargetOnlyAfterItsAlarmIsHandled) {
    UdpSender other("127.0.0.3");
    ASSERT_TRUE(other.Send(kDefaultGroup, kDefaultPort, "noise")) << other.Error();
    ASSERT_TRUE(WaitFor([&] { return socket->rxIP == fw::String("127.0.0.3"); }));
    const OnFirstShow shown([&] { return socket->rxIP.Bytes(); });
    receive(kAlarmCommand);
    EXPECT_EQ(shown.seen, std::optional<std::string>("127.0.0.3"));
    EXPECT_EQ(socket->rxIP, fw::String(kPeer));
}

TEST_F(AlarmRoad, WithoutAppOrSocketTheButtonRaisesBeforeSendingAndTheWindowStays) {
    const auto window = Window1();
    showAndWait(window);
    socket->keep = true;
    app->Socket1 = nullptr;
    EXPECT_THROW(window->medButton1_Action(*window->medButton1()), fw::NilObjectException);
    fw::_RuntimeRegisterAppObject(nullptr);
    EXPECT_THROW(window->medButton1_Action(*window->medButton1()), fw::NilObjectException);
    EXPECT_TRUE(isShown(*window));
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(AlarmRoad, ACancelHidesTheWindowAndLeavesTheAnimationAndHornRunning) {
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    receive(kCancelCommand);
    EXPECT_FALSE(isShown(*window));
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
    clock.Advance(kHornDelayMs);
    EXPECT_EQ(recorder.Plays().size(), 1u) << "a scheduled horn still plays";
    EXPECT_TRUE(recorder.Stops().empty());
    receive(kCancelCommand);
    EXPECT_FALSE(isShown(*window)) << "a hidden window stays hidden";
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
}

TEST_F(AlarmRoad, OnlyTheWholeCommandsAct) {
    const std::vector<std::string> others{"ALARM ", "ALARM\n", "alarm", "ALARM_CANCELx", ""};
    for (const auto& payload : others) {
        receive(payload);
        EXPECT_EQ(openWindow1(), nullptr) << "\"" << payload << "\" built the window";
    }
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    for (const auto& payload : others) {
        receive(payload);
        EXPECT_TRUE(isShown(*window)) << "\"" << payload << "\" hid the window";
    }
    EXPECT_EQ(socket->rxIP, fw::String(kPeer));
    clock.Advance(kHornDelayMs);
    EXPECT_EQ(recorder.Plays().size(), 1u);
}

TEST_F(AlarmRoad, ClosingDiscardsTheWindowButNotTheHornAndTheNextCommandBuildsAFreshOne) {
    receive(kAlarmCommand);
    std::weak_ptr<AlarmWindow> first = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_FALSE(first.expired());
    clock.Advance(3 * kFramePeriodMs);
    EXPECT_EQ(first.lock()->frameCounter, 3);
    ASSERT_TRUE(fw::qtWindow(*first.lock())->close()) << "the close box";
    EXPECT_EQ(recorder.Stops().size(), 1u) << "closing stops the horn";
    EXPECT_EQ(openWindow1(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return first.expired(); })) << "the closed window is let go";
    clock.Advance(kHornDelayMs - 3 * kFramePeriodMs - 1);
    EXPECT_TRUE(recorder.Plays().empty());
    clock.Advance(1);
    EXPECT_EQ(recorder.Plays().size(), 1u) << "a horn scheduled before the close still plays";

    receive(kCancelCommand);
    const auto second = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(isShown(*second));
    EXPECT_EQ(second->frameCounter, 0);
    EXPECT_EQ(second->animate()->RunMode(), fw::Timer::Off);

    receive(kAlarmCommand);
    EXPECT_EQ(openWindow1(), second);
    EXPECT_TRUE(isShown(*second));
    EXPECT_EQ(second->frameCounter, 0) << "a fresh window starts at frame 0";
    clock.Advance(kHornDelayMs);
    EXPECT_EQ(recorder.Plays().size(), 2u);
}

// ---- no horn ------------------------------------------------------------------------------------

class NoHorn : public AlarmRoad {
protected:
    bool WithHorn() const override { return false; }

    std::size_t linesStarting(const std::string& start) const {
        std::size_t count = 0;
        for (const auto& line : log.Lines()) {
            count += line.rfind(start, 0) == 0 ? 1 : 0;
        }
        return count;
    }
};

// A silent alarm is still seen: the window shows and animates, and the log names the file once.
TEST_F(NoHorn, AnAlarmShowsAndAnimatesAndOneLineNamesTheMissingFile) {
    receive(kAlarmCommand);
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(isShown(*window));
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
    clock.Advance(kHornDelayMs + 3 * kFramePeriodMs);
    EXPECT_EQ(window->frameCounter, kHornDelayMs / kFramePeriodMs + 3);
    receive(kAlarmCommand);
    window->Stop();
    window->Close();
    EXPECT_EQ(linesStarting("Horn file missing: Horn.wav"), 1u);
    EXPECT_EQ(linesStarting("Unhandled"), 0u);
    EXPECT_TRUE(recorder.Plays().empty());
    EXPECT_TRUE(recorder.Stops().empty());
}

} // namespace
} // namespace tallybell::testing
