#include "framework/application.h"
#include "framework/canvas.h"
#include "framework/property_list.h"
#include "framework/runtime.h"
#include "framework/timer.h"
#include "framework/window.h"
#include "framework/window_list.h"
#include "framework/window_qt.h"
#include "tests/support/wait.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace fw {
namespace {

using tallybell::testing::WaitFor;

const String kProbeClass = "Probe.Probe";

// The alarm window's properties, in their order; visible or not as the test needs.
String alarmWindowList(bool visible) {
    return PropertyListBuilder()
        .AddInt64("Width", 600)
        .AddInt64("Height", 400)
        .AddInt64("MinimumWidth", 64)
        .AddInt64("MinimumHeight", 64)
        .AddInt64("MaximumWidth", 32000)
        .AddInt64("MaximumHeight", 32000)
        .AddInt64("Type", 7)
        .AddString("Title", "Tallybell")
        .AddBoolean("HasCloseButton", true)
        .AddBoolean("HasMaximizeButton", true)
        .AddBoolean("HasMinimizeButton", true)
        .AddBoolean("HasFullScreenButton", false)
        .AddBoolean("Resizeable", true)
        .AddBoolean("Composite", false)
        .AddInt64("MacProcID", 0)
        .AddBoolean("FullScreen", false)
        .AddInt64("DefaultLocation", 0)
        .AddBoolean("Visible", visible)
        .AddBoolean("HasBackgroundColor", false)
        .AddColor("BackgroundColor", Color(0xFFFFFF))
        .AddBoolean("MenuBarVisible", true)
        .Build();
}

String canvasList(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height) {
    return PropertyListBuilder()
        .AddString("Name", "Canvas1")
        .AddInt64("Index", kNotIndexed)
        .AddInt64("Left", left)
        .AddInt64("Top", top)
        .AddInt64("Width", width)
        .AddInt64("Height", height)
        .Build();
}

// A window class the tests build through an accessor, as the application's windows are.
class ProbeWindow : public Window {
public:
    explicit ProbeWindow(String list) : Window(kProbeClass), list_(std::move(list)) {}

    std::function<void(ProbeWindow&)> layoutExtra;
    std::function<void(ProbeWindow&)> createControls;
    int opens = 0;
    int closes = 0;
    bool controlsAtOpen = false;

protected:
    void Layout() override {
        if (layoutExtra) {
            layoutExtra(*this);
        }
        _SetProperties(shared_from_this(), list_);
    }
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

std::shared_ptr<ProbeWindow> probe(const String& list = alarmWindowList(false),
                                   std::function<void(ProbeWindow&)> createControls = {}) {
    if (auto open = Window::_GetImplicitWindow(kProbeClass)) {
        return Cast<ProbeWindow>(open);
    }
    auto window = std::make_shared<ProbeWindow>(list);
    window->createControls = std::move(createControls);
    window->Constructor();
    return window;
}

void addCanvas(ProbeWindow& w) {
    auto canvas = w.__New<Canvas>();
    w._AddControl("Canvas1", canvas);
    _SetProperties(w._ControlByName("Canvas1"), canvasList(20, 20, 560, 256));
}

// Each test leaves no window open behind it, so they may share a process too.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { CloseAllWindows(); }
};
class WindowGeometry : public WindowTest {};
class WindowLifecycle : public WindowTest {};
class WindowControls : public WindowTest {};

TEST_F(WindowGeometry, AWindowBuiltFromItsListHasTheGeometryQtReports) {
    auto window = probe(alarmWindowList(true));
    QMainWindow* qt = _QtWindow(*window);
    ASSERT_TRUE(qt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(qt));
    EXPECT_TRUE(WaitFor([&] { return _QtContent(*window)->size() == QSize(600, 400); }))
        << "content " << _QtContent(*window)->width() << "x" << _QtContent(*window)->height();
    EXPECT_EQ(qt->minimumSize(), QSize(64, 64));
    EXPECT_EQ(qt->maximumSize(), QSize(32000, 32000));
    EXPECT_EQ(qt->windowTitle(), QString("Tallybell"));
    const Qt::WindowFlags flags = qt->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowFullscreenButtonHint);
    EXPECT_EQ(window->Width(), 600);
    EXPECT_EQ(window->Height(), 400);

    qt->resize(700, 450); // as the user would
    EXPECT_TRUE(WaitFor([&] { return window->Width() == 700 && window->Height() == 450; }));
}

TEST_F(WindowGeometry, AFixedWindowKeepsItsSizeAndHasNoResizeButtons) {
    const String list = PropertyListBuilder()
                            .AddInt64("Width", 600)
                            .AddInt64("Height", 160)
                            .AddString("Title", "Your Name")
                            .AddBoolean("HasMaximizeButton", false)
                            .AddBoolean("HasMinimizeButton", false)
                            .AddBoolean("Resizeable", false)
                            .AddBoolean("Visible", true)
                            .Build();
    auto window = probe(list);
    QMainWindow* qt = _QtWindow(*window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(qt));
    EXPECT_EQ(qt->minimumSize(), QSize(600, 160));
    EXPECT_EQ(qt->maximumSize(), QSize(600, 160));
    EXPECT_TRUE(WaitFor([&] { return _QtContent(*window)->size() == QSize(600, 160); }));
    EXPECT_TRUE(qt->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(qt->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(WindowGeometry, TheSizeIsTheContentAreaBelowTheMenuBar) {
    auto window = std::make_shared<ProbeWindow>(alarmWindowList(true));
    window->layoutExtra = [](ProbeWindow& w) { _QtWindow(w)->menuBar()->addMenu("&File"); };
    window->Constructor();
    QMainWindow* qt = _QtWindow(*window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(qt));
    EXPECT_TRUE(WaitFor([&] { return _QtContent(*window)->size() == QSize(600, 400); }))
        << "content " << _QtContent(*window)->width() << "x" << _QtContent(*window)->height();
    EXPECT_GT(qt->height(), 400);
    EXPECT_EQ(window->Height(), 400);
}

TEST_F(WindowLifecycle, TheImplicitWindowIsFoundWhileOpenShownOrHiddenAndNotAfterClose) {
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), nullptr);
    auto window = probe();
    EXPECT_FALSE(window->Visible());
    EXPECT_FALSE(_QtWindow(*window)->isVisible()) << "a list with Visible false builds it hidden";
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), window);
    EXPECT_EQ(probe(), window);

    window->Show();
    EXPECT_TRUE(_QtWindow(*window)->isVisible());
    window->Hide();
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), window);

    window->Close();
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), nullptr);
    auto rebuilt = probe();
    EXPECT_NE(rebuilt, window);
    EXPECT_EQ(rebuilt->opens, 1);
}

TEST_F(WindowLifecycle, CloseRaisesCloseOnceAndTheFrameworkLetsGo) {
    std::weak_ptr<ProbeWindow> watched;
    {
        auto window = probe(alarmWindowList(true));
        watched = window;
        window->Close();
        window->Close();
        EXPECT_EQ(window->closes, 1);
        EXPECT_FALSE(window->_IsOpen());
    }
    EXPECT_TRUE(WaitFor([&] { return watched.expired(); }))
        << "something besides the framework held the closed window";
}

TEST_F(WindowLifecycle, TheCloseBoxClosesTheWindowLikeClose) {
    auto window = probe(alarmWindowList(true));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(_QtWindow(*window)));
    _QtWindow(*window)->close();
    EXPECT_EQ(window->closes, 1);
    EXPECT_EQ(Window::_GetImplicitWindow(kProbeClass), nullptr);
    EXPECT_NE(probe(), window);
}

TEST_F(WindowLifecycle, OpenIsRaisedOnceAfterTheControlsExist) {
    auto window = probe(alarmWindowList(false), addCanvas);
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
    auto hidden = std::make_shared<ProbeWindow>(alarmWindowList(false));
    hidden->Constructor();
    auto shown = std::make_shared<ProbeWindow>(alarmWindowList(true));
    shown->Constructor();
    auto last = std::make_shared<ProbeWindow>(alarmWindowList(true));
    last->Constructor();

    shown->Close();
    EXPECT_FALSE(app->IsQuitting()) << "a visible window remains";
    last->Close();
    EXPECT_TRUE(app->IsQuitting()) << "only a hidden window remains";
    EXPECT_EQ(app->closes, 1);
    EXPECT_EQ(hidden->closes, 1) << "quitting closes the rest";
    _RuntimeRegisterAppObject(nullptr);
}

TEST_F(WindowControls, ControlsJoinTheirWindowAndAreFoundByName) {
    auto window = probe(alarmWindowList(false), addCanvas);
    auto canvas = Cast<Canvas>(window->_ControlByName("Canvas1"));
    ASSERT_TRUE(canvas);
    EXPECT_EQ(window->_ControlByName("Canvas2"), nullptr);
    EXPECT_EQ(canvas->Window(), window);
    EXPECT_EQ(canvas->_Index(), kNotIndexed);
    EXPECT_EQ(canvas->_Widget()->parentWidget(), _QtContent(*window));
    EXPECT_EQ(canvas->_Widget()->geometry(), QRect(20, 20, 560, 256));
    EXPECT_THROW(window->_AddControl("Canvas1", window->__New<Canvas>()), InvalidArgumentException);
    EXPECT_THROW(window->_AddControl("Nil", nullptr), NilObjectException);

    window->Close();
    EXPECT_EQ(window->_ControlByName("Canvas1"), nullptr) << "the controls go with the window";
    window.reset();
    EXPECT_TRUE(WaitFor([&] { return canvas->Window() == nullptr; }));
}

TEST_F(WindowControls, AWindowsTimerEndsWithIt) {
    auto window = probe(alarmWindowList(false), [](ProbeWindow& w) {
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
    auto window = probe(alarmWindowList(false), [](ProbeWindow& w) {
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
    EXPECT_EQ(control("moves")->_Widget()->geometry().left(), 120);
}

} // namespace
} // namespace fw
