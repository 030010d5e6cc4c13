// The alarm window on its own: how it is built, placed, painted and animated, and its menu items.
#include "app/startup_sequence.h"
#include "app/ui/alarm_window.h"
#include "app/ui/main_menu_bar.h"
#include "app/ui/media.h"
#include "framework/gui/picture_qt_p.h"
#include "framework/gui/runtime.h"
#include "tests/app/ui/alarm_fixture.h"
#include "tests/support/wait.h"

#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace tallybell::testing {
namespace {

TEST_F(AlarmWindowTest, LateStartUpBuildsOneHiddenIdleWindowThatOnlyTheFrameworkHolds) {
    EXPECT_EQ(openWindow1(), nullptr);
    _LateStartup();
    std::weak_ptr<AlarmWindow> built = fw::Cast<AlarmWindow>(openWindow1());
    ASSERT_FALSE(built.expired()) << "the framework holds the open window";
    std::shared_ptr<Window1_wrapper_animate> timer;
    {
        const auto window = built.lock();
        EXPECT_EQ(Window1(), window);
        EXPECT_FALSE(window->Visible());
        EXPECT_FALSE(fw::qtWindow(*window)->isVisible());
        EXPECT_EQ(window->frameCounter, 0);
        timer = window->animate();
        EXPECT_EQ(timer->RunMode(), fw::Timer::Off);
        EXPECT_EQ(timer->Period(), 25);
        EXPECT_EQ(timer->Window(), window) << "the timer joined its window";
        EXPECT_EQ(window->medButton1()->Caption, fw::String("On my Way!"));
        EXPECT_EQ(window->medButton1()->textSize, 30);
        EXPECT_EQ(window->MenuBar(), MainMenuBar());
        EXPECT_EQ(window->Title(), fw::String("Tallybell"));
        window->Close();
    }
    EXPECT_TRUE(WaitFor([&] { return built.expired(); })) << "the timer kept its window alive";
    EXPECT_EQ(timer->Window(), nullptr);
}

TEST_F(AlarmWindowTest, TheWindowAndItsControlsTakeTheirPlacesOnScreen) {
    const auto window = Window1();
    showAndWait(window);
    QMainWindow* widget = fw::qtWindow(*window);
    QWidget* content = fw::qtContent(*window);
    const int menuHeight = content->geometry().top();
    ASSERT_NE(widget->menuWidget(), nullptr);
    EXPECT_TRUE(widget->menuWidget()->isVisible());
    EXPECT_GT(menuHeight, 0) << "the menu bar sits above the content";
    EXPECT_EQ(content->size(), QSize(600, 400));
    EXPECT_EQ(widget->size(), QSize(600, 400 + menuHeight));
    EXPECT_EQ(widget->minimumSize(), QSize(64, 64 + menuHeight));
    EXPECT_EQ(widget->maximumSize(), QSize(32000, 32000 + menuHeight));
    EXPECT_EQ(widget->windowTitle(), QString("Tallybell"));
    const Qt::WindowFlags flags = widget->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowFullscreenButtonHint));
    EXPECT_FALSE(widget->isFullScreen());

    QWidget* canvas = window->Canvas1()->qtWidget();
    QWidget* button = window->medButton1()->qtWidget();
    EXPECT_EQ(canvas->geometry(), QRect(20, 20, 560, 256));
    EXPECT_EQ(button->geometry(), QRect(175, 288, 250, 92));
    EXPECT_TRUE(canvas->isVisible());
    EXPECT_TRUE(button->isVisible());

    // Locked to the top left: resizing neither moves nor stretches them.
    widget->resize(900, 700 + menuHeight);
    ASSERT_TRUE(WaitFor([&] { return window->Width() == 900 && window->Height() == 700; }));
    EXPECT_EQ(canvas->geometry(), QRect(20, 20, 560, 256));
    EXPECT_EQ(button->geometry(), QRect(175, 288, 250, 92));
}

TEST_F(AlarmWindowTest, TheFramesRunToNinetyNineAndStartAgain) {
    const auto window = Window1();
    window->frameCounter = 98;
    window->animate_Action(*window->animate());
    EXPECT_EQ(window->frameCounter, 99);
    window->animate_Action(*window->animate());
    EXPECT_EQ(window->frameCounter, 0);
    window->animate_Action(*window->animate());
    EXPECT_EQ(window->frameCounter, 1);
}

// The canvas as painted, and what it shows when the square at source is drawn at (152, 0) over
// the window's background and nothing else.
struct PaintedFrame {
    QImage painted;

    int differencesFrom(QPoint source) const {
        QImage expected(painted.size(), QImage::Format_RGB32);
        expected.fill(painted.pixel(0, 0)); // left of the frame: the background shows through
        QPainter painter(&expected);
        painter.drawImage(QPoint(152, 0), fw::PictureRegion(fw::Deref(SpriteSheet()),
                                                            QRect(source, QSize(256, 256))));
        painter.end();
        int count = 0;
        for (int y = 0; y < painted.height(); ++y) {
            for (int x = 0; x < painted.width(); ++x) {
                const QRgb a = painted.pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                const bool close = std::abs(qRed(a) - qRed(b)) <= 3 &&
                                   std::abs(qGreen(a) - qGreen(b)) <= 3 &&
                                   std::abs(qBlue(a) - qBlue(b)) <= 3;
                count += close ? 0 : 1;
            }
        }
        return count;
    }
};

TEST_F(AlarmWindowTest, EachFrameIsPaintedFromItsSquareOfTheSheet) {
    const auto window = Window1();
    showAndWait(window);
    QWidget* canvas = window->Canvas1()->qtWidget();
    const std::vector<std::pair<int, QPoint>> frames{
        {0, {0, 0}}, {10, {0, 256}}, {57, {1792, 1280}}, {99, {2304, 2304}}};
    for (const auto& [frame, source] : frames) {
        SCOPED_TRACE(frame);
        window->frameCounter = frame;
        const PaintedFrame shown{canvas->grab().toImage().convertToFormat(QImage::Format_RGB32)};
        ASSERT_EQ(shown.painted.size(), QSize(560, 256));
        EXPECT_EQ(shown.differencesFrom(source), 0);
        // The neighbouring squares look different: the comparison does tell frames apart.
        EXPECT_GT(shown.differencesFrom(QPoint((source.x() + 256) % 2560, source.y())), 500);
    }
}

TEST_F(AlarmWindowTest, PaintWithoutAGraphicsContextRaises) {
    const auto window = Window1();
    EXPECT_THROW(window->Canvas1_Paint(*window->Canvas1(), nullptr, {}), fw::NilObjectException);
}

TEST_F(AlarmWindowTest, StopAndClosingStopTheHornAndLeaveTheAnimation) {
    const auto window = Window1();
    window->Alarm();
    window->Stop();
    EXPECT_EQ(recorder.Stops().size(), 1u);
    EXPECT_EQ(window->animate()->RunMode(), fw::Timer::Multiple);
    clock.Advance(kHornDelayMs);
    EXPECT_EQ(recorder.Plays().size(), 1u) << "Stop cancels no scheduled horn";
    window->Close();
    EXPECT_EQ(recorder.Stops().size(), 2u);
}

} // namespace
} // namespace tallybell::testing
