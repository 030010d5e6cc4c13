// Mouse events go through the window, as the platform delivers them (see the button's tests).
#define QTEST_QPA_MOUSE_HANDLING

#include "framework/gui/canvas.h"
#include "framework/gui/graphics.h"
#include "framework/gui/property_list.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/wait.h"

#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

using tallybell::testing::WaitFor;

// Records what the framework delivers; presses are taken or not as the test says.
class Recorder : public Canvas {
public:
    bool takePress = true;
    int paints = 0;
    std::vector<std::string> mouse;

    void Event_Paint(Graphics& g, const std::vector<Rect>& areas) override {
        ++paints;
        Canvas::Event_Paint(g, areas);
    }
    bool Event_MouseDown(std::int64_t, std::int64_t) override {
        mouse.push_back("down");
        return takePress;
    }
    void Event_MouseUp(std::int64_t, std::int64_t) override { mouse.push_back("up"); }
    void Event_MouseEnter() override { mouse.push_back("enter"); }
    void Event_MouseExit() override { mouse.push_back("exit"); }
};

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>("CanvasHost.CanvasHost");
        window->Constructor();
        _SetProperties(window, PropertyListBuilder()
                                   .AddInt64("Width", 300)
                                   .AddInt64("Height", 200)
                                   .AddBoolean("HasBackgroundColor", true)
                                   .AddColor("BackgroundColor", Color(0xFF0000))
                                   .Build());
        canvas = window->__New<Recorder>();
        window->_AddControl("Canvas1", canvas);
        _SetProperties(canvas, PropertyListBuilder()
                                   .AddInt64("Left", 20)
                                   .AddInt64("Top", 20)
                                   .AddInt64("Width", 100)
                                   .AddInt64("Height", 50)
                                   .AddBoolean("Transparent", true)
                                   .Build());
        window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(qtWindow(*window)));
        widget = canvas->qtWidget();
    }
    void TearDown() override { CloseAllWindows(); }

    std::shared_ptr<Window> window;
    std::shared_ptr<Recorder> canvas;
    QWidget* widget = nullptr;
};

TEST_F(CanvasTest, ABoundPaintHandlerGetsTheGraphicsSizedToTheControl) {
    double width = 0, height = 0;
    canvas->BindPaint([&](Canvas&, Graphics* g, const std::vector<Rect>& areas) {
        width = g->Width();
        height = g->Height();
        EXPECT_FALSE(areas.empty());
        g->DrawingColor(Color(0x00FF00));
        g->FillRoundRect(0, 0, 10, 10, 0, 0);
    });
    canvas->Refresh(true);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(height, 50);
    const QImage content = qtContent(*window)->grab().toImage();
    EXPECT_EQ(content.pixel(25, 25), qRgb(0, 255, 0));
    EXPECT_EQ(content.pixel(60, 40), qRgb(255, 0, 0)) << "a transparent canvas shows the window";
}

// Refresh, a taken press, enter and exit: every click in the button's tests goes through them.
TEST_F(CanvasTest, InvalidatePaintsLaterAndAnUntakenPressGetsNoRelease) {
    ASSERT_TRUE(WaitFor([&] { return canvas->paints > 0; }));
    const int before = canvas->paints;
    canvas->Invalidate(true);
    EXPECT_EQ(canvas->paints, before);
    EXPECT_TRUE(WaitFor([&] { return canvas->paints > before; }));

    canvas->takePress = false;
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(50, 25));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(50, 25));
    EXPECT_EQ(canvas->mouse, (std::vector<std::string>{"enter", "down"}));
}

} // namespace
} // namespace fw
