// The alarm road through the window: datagrams in through the application's socket, the horn and
// the animation, the button clicked through the window system, the acknowledgement out. The
// peer is a second loopback address on this host's port, so what is sent to it comes back here.
// Mouse events go through the window system (the module defines QTEST_QPA_MOUSE_HANDLING).
#include "app/alarm_socket.h"
#include "app/app.h"
#include "app/ui/alarm_window.h"
#include "framework/runtime.h"
#include "tests/app/ui/alarm/alarm_fixture.h"
#include "tests/support/udp_sender.h"
#include "tests/support/wait.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tallybell::testing {
namespace {

constexpr const char* kPeer = "127.0.0.2"; // stands for another host on the loopback
constexpr const char* kGroup = "239.1.2.4";
constexpr std::uint16_t kPort = 40001;
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
        socket->Port(kPort);
        socket->SendToSelf(true);
        socket->Connect();
        ASSERT_TRUE(socket->IsConnected()) << "errno " << socket->LastErrorCode();
        ASSERT_TRUE(socket->JoinMulticastGroup(kGroup)) << "errno " << socket->LastErrorCode();
        app->Socket1 = socket;
    }

    void TearDown() override {
        AlarmWindowTest::TearDown();
        fw::_RuntimeRegisterAppObject(nullptr);
    }

    /// Sends payload from the peer and waits until the socket has taken it in; sent is when.
    void receive(const std::string& payload) {
        const std::size_t before = log.Count(std::string("Alert recieved from ") + kPeer);
        UdpSender sender(kPeer);
        sent = horn.Now();
        ASSERT_TRUE(sender.Send(kGroup, kPort, payload)) << sender.Error();
        ASSERT_TRUE(WaitFor([&] {
            return log.Count(std::string("Alert recieved from ") + kPeer) > before;
        })) << "\""
            << payload << "\" was not received";
    }

    void click(const AlarmWindow& window) {
        QTest::mouseClick(window.medButton1()->_Widget(), Qt::LeftButton, {}, kButtonCentre);
    }

    /// What came back to this host's port once the socket began keeping.
    bool waitForKept(std::size_t count) {
        return WaitFor([&] { return socket->kept.size() >= count; });
    }

    std::shared_ptr<class App> app;
    std::shared_ptr<KeepingSocket> socket;
    qint64 sent = 0;
};

TEST_F(AlarmRoad, EachOfTwoAlarmsATenthApartSoundsTheHornHalfASecondLater) {
    receive("ALARM");
    const qint64 first = sent;
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(isShown(*window));
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
    EXPECT_TRUE(recorder.Plays().empty()) << "the horn waits";
    ASSERT_TRUE(WaitFor([&] { return horn.Now() - first >= 100; }));
    const std::int64_t frameBefore = window->frameCounter;
    receive("ALARM");
    const qint64 second = sent;
    EXPECT_EQ(openWindow1(), window) << "the same window";
    EXPECT_GE(window->frameCounter, frameBefore) << "the animation carries on, not from 0";
    ASSERT_TRUE(horn.WaitForPlays(2));
    EXPECT_EQ(recorder.Plays()[0], AirHorn()->Path());
    EXPECT_GE(horn.At()[0] - first, kEarliestHornMs);
    EXPECT_LE(horn.At()[0] - first, kLatestHornMs);
    EXPECT_GE(horn.At()[1] - second, kEarliestHornMs);
    EXPECT_LE(horn.At()[1] - second, kLatestHornMs);
    EXPECT_GE(horn.At()[1] - horn.At()[0], 50) << "one play per alarm, each on its own delay";
    EXPECT_TRUE(WaitFor([&] { return window->frameCounter >= 10; })) << "the frames advance";
}

TEST_F(AlarmRoad, TheButtonAcknowledgesToTheSenderAndHidesEvenBeforeTheHorn) {
    receive("ALARM");
    const qint64 alarmed = sent;
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    showAndWait(window);
    socket->keep = true;
    log.Clear();
    click(*window);
    EXPECT_LT(horn.Now() - alarmed, kHornDelayMs) << "the click must come before the horn";
    EXPECT_TRUE(recorder.Plays().empty());
    EXPECT_FALSE(isShown(*window));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{std::string("Replied to ") + kPeer});

    // The peer shares this host's port, so the acknowledgement comes back to this socket.
    ASSERT_TRUE(waitForKept(1));
    EXPECT_EQ(socket->kept[0].second, "ACK,Ann Lee");
    ASSERT_TRUE(horn.WaitForPlays(1)) << "the click cancels no horn";
    EXPECT_GE(horn.At()[0] - alarmed, kEarliestHornMs);
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple) << "hiding stops no timer";
    const std::int64_t hiddenFrame = window->frameCounter;
    EXPECT_TRUE(WaitFor([&] { return window->frameCounter != hiddenFrame; }))
        << "a hidden window keeps animating";
    EXPECT_EQ(socket->kept.size(), 1u);
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
    receive("ALARM");
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    receive("ALARM_CANCEL");
    EXPECT_FALSE(isShown(*window));
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
    ASSERT_TRUE(horn.WaitForPlays(1)) << "a scheduled horn still plays";
    EXPECT_TRUE(recorder.Stops().empty());
    receive("ALARM_CANCEL");
    EXPECT_FALSE(isShown(*window)) << "a hidden window stays hidden";
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
}

TEST_F(AlarmRoad, OnlyTheWholeCommandsAct) {
    const std::vector<std::string> others{"ALARM ", "ALARM\n", "alarm", "ALARM_CANCELx", ""};
    for (const auto& payload : others) {
        receive(payload);
        EXPECT_EQ(openWindow1(), nullptr) << "\"" << payload << "\" built the window";
    }
    receive("ALARM");
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    for (const auto& payload : others) {
        receive(payload);
        EXPECT_TRUE(isShown(*window)) << "\"" << payload << "\" hid the window";
    }
    EXPECT_EQ(socket->rxIP, fw::String(kPeer));
    ASSERT_TRUE(horn.WaitForPlays(1));
}

TEST_F(AlarmRoad, ClosingDiscardsTheWindowButNotTheHornAndTheNextCommandBuildsAFreshOne) {
    receive("ALARM");
    const qint64 alarmed = sent;
    std::weak_ptr<AlarmWindow> first = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_FALSE(first.expired());
    ASSERT_TRUE(WaitFor([&] { return first.lock()->frameCounter >= 3; }));
    ASSERT_TRUE(fw::_QtWindow(*first.lock())->close()) << "the close box";
    EXPECT_EQ(recorder.Stops().size(), 1u) << "closing stops the horn";
    EXPECT_TRUE(recorder.Plays().empty()) << "the close must come before the horn";
    EXPECT_EQ(openWindow1(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return first.expired(); })) << "the closed window is let go";
    ASSERT_TRUE(horn.WaitForPlays(1)) << "a horn scheduled before the close still plays";
    EXPECT_GE(horn.At()[0] - alarmed, kEarliestHornMs);

    receive("ALARM_CANCEL");
    const auto second = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(isShown(*second));
    EXPECT_EQ(second->frameCounter, 0);
    EXPECT_EQ(second->animate()->RunMode(), fw::Timer::Off);

    receive("ALARM");
    EXPECT_EQ(openWindow1(), second);
    EXPECT_TRUE(isShown(*second));
    EXPECT_LE(second->frameCounter, 5) << "a fresh window starts at frame 0";
    ASSERT_TRUE(horn.WaitForPlays(2));
}

// ---- no horn ------------------------------------------------------------------------------------

class NoHorn : public AlarmRoad {
protected:
    bool WithHorn() const override { return false; }

    bool loggedNilObject() const {
        for (const auto& line : log.Lines()) {
            if (line.find("NilObjectException") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(NoHorn, AnAlarmShowsTheWindowThenRaisesWithoutAnimating) {
    UdpSender sender(kPeer);
    ASSERT_TRUE(sender.Send(kGroup, kPort, "ALARM")) << sender.Error();
    ASSERT_TRUE(WaitFor([&] { return loggedNilObject(); }));
    const auto window = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(isShown(*window)) << "Show ran before Alarm";
    EXPECT_EQ(socket->rxIP, fw::String(kPeer)) << "the sender is the reply target all the same";
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Off);
    EXPECT_THROW(window->Alarm(), fw::NilObjectException);
    EXPECT_THROW(window->Stop(), fw::NilObjectException);
    EXPECT_TRUE(recorder.Plays().empty());
}

TEST_F(NoHorn, ClosingRaisesButTheWindowStillCloses) {
    const auto window = Window1();
    log.Clear();
    window->Close();
    EXPECT_TRUE(loggedNilObject());
    EXPECT_FALSE(window->_IsOpen());
    EXPECT_EQ(openWindow1(), nullptr);
}

} // namespace
} // namespace tallybell::testing
