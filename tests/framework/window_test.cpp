#include "framework/core/timer.h"
#include "framework/gui/application.h"
#include "framework/gui/canvas.h"
#include "framework/gui/property_list.h"
#include "framework/gui/runtime.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/wait.h"

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace fw {
namespace {

using tallybell::testing::WaitFor;

const String kProbeClass = "Probe.Probe";

// A 600 x 400 window, built shown or hidden as the test needs.
String windowList(bool visible) {
    return PropertyListBuilder()
        .AddInt64("Width", 600)
        .AddInt64("Height", 400)
        .AddBoolean("Visible", visible)
        .Build();
}

// A window class the tests build through an accessor, as the application's windows are.
class ProbeWindow : public Window {
public:
    explicit ProbeWindow(String list) : Window(kProbeClass), list_(std::move(list)) {}

    std::function<void(ProbeWindow&)> createControls;
    int opens = 0;
    int closes = 0;
    bool controlsAtOpen = false;

protected:
    void Layout() override { _SetProperties(shared_from_this(), list_); }
    void CreateControls() override {
        if (createControls) {
            createControls(*this);
        }
    }
    void Event_Open() override {
        ++opens;
        controlsAtOpen = _ControlByName("Canvas1") != nullptr;
    }
    void Event_Close() override { ++closes; }

private:
    String list_;
};

std::shared_ptr<ProbeWindow> probe(bool visible,
                                   std::function<void(ProbeWindow&)> createControls = {}) {
    auto window = std::make_shared<ProbeWindow>(windowList(visible));
    window->createControls = std::move(createControls);
    window->Constructor();
    return window;
}

void addCanvas(ProbeWindow& w) {
    w._AddControl("Canvas1", w.__New<Canvas>());
    _SetProperties(w._ControlByName("Canvas1"), PropertyListBuilder()
                                                    .AddInt64("Index", kNotIndexed)
                                                    .AddInt64("Left", 20)
                                                    .AddInt64("Top", 20)
                                                    .AddInt64("Width", 560)
                                                    .AddInt64("Height", 256)
                                                    .Build());
}

// Each test leaves no window open behind it, so they may share a process too.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { CloseAllWindows(); }
};
class WindowLifecycle : public WindowTest {};
class WindowControls : public WindowTest {};

TEST_F(WindowLifecycle, TheCloseBoxOrCloseRaisesCloseOnceAndTheFrameworkLetsGo) {
    std::weak_ptr<ProbeWindow> watched;
    {
        auto window = probe(true);
        watched = window;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(qtWindow(*window)));
        qtWindow(*window)->close();
        window->Close();
        EXPECT_EQ(window->closes, 1);
        EXPECT_FALSE(window->isOpen());
        EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), nullptr);
    }
    EXPECT_TRUE(WaitFor([&] { return watched.expired(); }))
        << "something besides the framework held the closed window";
}

TEST_F(WindowLifecycle, OpenIsRaisedOnceAfterTheControlsExist) {
    auto window = probe(false, addCanvas);
    EXPECT_EQ(window->opens, 1);
    EXPECT_TRUE(window->controlsAtOpen);
    window->Show();
    window->Hide();
    window->Show();
    EXPECT_EQ(window->opens, 1);
}

TEST_F(WindowLifecycle, AFailedBuildLeavesNoOpenWindow) {
    auto window = std::make_shared<ProbeWindow>(PropertyListBuilder().AddInt64("Wdth", 1).Build());
    EXPECT_THROW(window->Constructor(), InvalidArgumentException);
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), nullptr);
}

class QuitProbe : public Application {
public:
    int closes = 0;
    void Event_Close() override { ++closes; }
};

TEST_F(WindowLifecycle, WithAutoQuitClosingTheLastVisibleWindowQuits) {
    auto app = std::make_shared<QuitProbe>();
    _RuntimeRegisterAppObject(app);
    app->AutoQuit(true);
    auto hidden = probe(false);
    auto shown = probe(true);
    auto last = probe(true);

    shown->Close();
    EXPECT_FALSE(app->IsQuitting()) << "a visible window remains";
    last->Close();
    EXPECT_TRUE(app->IsQuitting()) << "only a hidden window remains";
    EXPECT_EQ(app->closes, 1);
    EXPECT_EQ(hidden->closes, 1) << "quitting closes the rest";
    _RuntimeRegisterAppObject(nullptr);
}

TEST_F(WindowControls, ControlsJoinTheirWindowAndAreFoundByName) {
    auto window = probe(false, addCanvas);
    auto canvas = Cast<Canvas>(window->_ControlByName("Canvas1"));
    ASSERT_TRUE(canvas);
    EXPECT_EQ(window->_ControlByName("Canvas2"), nullptr);
    EXPECT_EQ(canvas->Window(), window);
    EXPECT_EQ(canvas->_Index(), kNotIndexed);
    EXPECT_EQ(canvas->qtWidget()->parentWidget(), qtContent(*window));
    EXPECT_EQ(canvas->qtWidget()->geometry(), QRect(20, 20, 560, 256));
    EXPECT_THROW(window->_AddControl("Canvas1", window->__New<Canvas>()), InvalidArgumentException);
    EXPECT_THROW(window->_AddControl("Nil", nullptr), NilObjectException);

    window->Close();
    EXPECT_EQ(window->_ControlByName("Canvas1"), nullptr) << "the controls go with the window";
    window.reset();
    EXPECT_TRUE(WaitFor([&] { return canvas->Window() == nullptr; }));
}

TEST_F(WindowControls, AWindowsTimerEndsWithIt) {
    auto window = probe(false, [](ProbeWindow& w) {
        auto timer = w.__New<Timer>();
        w._AddControl("animate", timer);
        timer->Period(25);
        timer->RunMode(Timer::Multiple);
    });
    auto timer = Cast<Timer>(window->_ControlByName("animate"));
    EXPECT_TRUE(WaitFor([&] { return timer->FireCount() > 0; }));
    window->Close();
    EXPECT_EQ(timer->RunMode(), Timer::Off);
}

TEST_F(WindowControls, LockedSidesFollowTheWindowEdges) {
    auto window = probe(false, [](ProbeWindow& w) {
        const auto add = [&](const char* name, bool lockRight, bool lockLeft) {
            w._AddControl(name, w.__New<Canvas>());
            _SetProperties(w._ControlByName(name), PropertyListBuilder()
                                                       .AddInt64("Left", 20)
                                                       .AddInt64("Width", 100)
                                                       .AddBoolean("LockLeft", lockLeft)
                                                       .AddBoolean("LockRight", lockRight)
                                                       .Build());
        };
        add("fixed", false, true);
        add("stretches", true, true);
        add("moves", true, false);
    });
    window->Width(700);
    const auto control = [&](const char* name) {
        return Cast<Control>(window->_ControlByName(name));
    };
    EXPECT_EQ(control("fixed")->Left(), 20);
    EXPECT_EQ(control("fixed")->Width(), 100);
    EXPECT_EQ(control("stretches")->Width(), 200);
    EXPECT_EQ(control("moves")->Left(), 120);
    EXPECT_EQ(control("moves")->qtWidget()->geometry().left(), 120);
}

} // namespace
} // namespace fw
