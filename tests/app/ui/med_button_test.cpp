// Mouse events go through the window, as the platform delivers them: presses land on whatever is
// under the pointer, a release after a press reaches the control that took the press, and moves
// raise enter and leave (the module defines QTEST_QPA_MOUSE_HANDLING).

#include "app/ui/alarm_window.h"
#include "app/ui/med_button.h"
#include "framework/gui/appearance.h"
#include "framework/gui/property_list.h"
#include "framework/gui/runtime.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "tests/support/wait.h"

#include <QImage>
#include <QMainWindow>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace tallybell {
namespace {

using tallybell::testing::WaitFor;

constexpr QRgb kLightFill = qRgb(0xFF, 0xFF, 0xFF);
constexpr QRgb kDarkFill = qRgb(0x51, 0x53, 0x52);
constexpr QRgb kHoverFill = qRgb(0xFC, 0x7F, 0x08);
constexpr QRgb kPushedFill = qRgb(0x2A, 0x61, 0xC5);
constexpr QRgb kWhite = qRgb(0xFF, 0xFF, 0xFF);
constexpr QRgb kBlack = qRgb(0, 0, 0);
const QPoint kCentre(125, 46); // of the 250 x 92 button
// Enough pixels of exactly the caption colour to be glyph interiors, not anti-aliasing.
constexpr int kCaptionPixels = 100;

class CountingButton : public medButton {
public:
    int paints = 0;
    void Event_Paint(fw::Graphics& g, const std::vector<fw::Rect>& areas) override {
        ++paints;
        medButton::Event_Paint(g, areas);
    }
};

// What a grabbed button shows: its fill, whether the fill covers the full control or is inset
// by one, and how many pixels carry a given caption colour.
struct Look {
    QImage image;
    QRgb fill() const { return image.pixel(10, 10); }
    bool fullSize() const { return image.pixel(0, 46) == fill(); }
    int pixelsOf(QRgb colour) const {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixel(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }
};

class MedButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<fw::Window>("ButtonHost.ButtonHost");
        window->Constructor();
        fw::_SetProperties(
            window,
            fw::PropertyListBuilder().AddInt64("Width", 600).AddInt64("Height", 400).Build());
        button = window->__New<CountingButton>();
        window->_AddControl("medButton1", button);
        fw::_SetProperties(window->_ControlByName("medButton1"), medButton1PropertyList());
        button->BindAction([this](medButton& sender) {
            EXPECT_EQ(&sender, button.get());
            ++actions;
        });
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fw::qtWindow(*window)));
        widget = button->qtWidget();
        ASSERT_TRUE(widget);
    }
    void TearDown() override {
        // No button stays held into the next test.
        button->BindAction(nullptr);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, kCentre);
        fw::CloseAllWindows();
    }

    Look look() const {
        return Look{widget->grab().toImage().convertToFormat(QImage::Format_RGB32)};
    }
    void enter() {
        QTest::mouseMove(fw::qtContent(*window), QPoint(5, 5));
        QTest::mouseMove(widget, kCentre);
    }
    void leave() { QTest::mouseMove(fw::qtContent(*window), QPoint(5, 5)); }

    std::shared_ptr<fw::Window> window;
    std::shared_ptr<CountingButton> button;
    QWidget* widget = nullptr;
    int actions = 0;
    fw::AppearanceOverride light{false};
};

TEST(MedButton, CentringTruncatesThenHalvesTowardZero) {
    EXPECT_EQ(CaptionLeft(250, 101.6), 74);
    EXPECT_EQ(CaptionBaseline(92, 92, 23.3), 58);
    EXPECT_EQ(CaptionLeft(250, 255.5), -2);
    EXPECT_EQ(CaptionLeft(0, 1e300), -1073741824) << "out of 32-bit range clamps";
}

// Light appearance: the caption is white over hover and over a press that follows it, black over
// a press that follows a release's normal paint.
TEST_F(MedButtonTest, ALightButtonLooksHoverPushedAndNormalAndActsOncePerClick) {
    enter();
    EXPECT_EQ(look().fill(), kHoverFill);
    EXPECT_FALSE(look().fullSize());
    EXPECT_GT(look().pixelsOf(kWhite), kCaptionPixels);
    const int paints = button->paints;
    QTest::mousePress(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_GT(button->paints, paints) << "the press repaints at once";
    EXPECT_EQ(look().fill(), kPushedFill);
    EXPECT_FALSE(look().fullSize());
    EXPECT_GT(look().pixelsOf(kWhite), kCaptionPixels);
    EXPECT_EQ(actions, 0);

    QTest::mouseRelease(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(look().fill(), kLightFill);
    EXPECT_TRUE(look().fullSize());
    EXPECT_GT(look().pixelsOf(kBlack), kCaptionPixels);

    // A second press without leaving: no hover paint came between, so the caption stays black.
    QTest::mousePress(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(look().fill(), kPushedFill);
    EXPECT_GT(look().pixelsOf(kBlack), kCaptionPixels);
    EXPECT_EQ(look().pixelsOf(kWhite), 0);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(actions, 2);

    QTest::mouseMove(widget, QPoint(130, 50));
    EXPECT_EQ(look().fill(), kLightFill) << "no hover until the pointer leaves and comes back";
    leave();
    enter();
    EXPECT_EQ(look().fill(), kHoverFill);
    leave();
    EXPECT_EQ(look().fill(), kLightFill);
}

TEST_F(MedButtonTest, ReleaseOutsideStillRaisesOneActionAndWithoutAHandlerOnlyTheLookChanges) {
    QTest::mousePress(widget, Qt::LeftButton, {}, kCentre);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(-150, -250));
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(look().fill(), kLightFill);

    button->BindAction(nullptr);
    QTest::mousePress(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(look().fill(), kPushedFill);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(look().fill(), kLightFill);
}

TEST_F(MedButtonTest, DarkAppearanceHasADarkFillAndAlwaysAWhiteCaption) {
    const fw::AppearanceOverride dark(true);
    Look normal = look();
    EXPECT_EQ(normal.fill(), kDarkFill);
    EXPECT_TRUE(normal.fullSize());
    EXPECT_GT(normal.pixelsOf(kWhite), kCaptionPixels);
    enter();
    EXPECT_EQ(look().fill(), kHoverFill);
    EXPECT_GT(look().pixelsOf(kWhite), kCaptionPixels);
    QTest::mousePress(widget, Qt::LeftButton, {}, kCentre);
    EXPECT_EQ(look().fill(), kPushedFill);
    EXPECT_GT(look().pixelsOf(kWhite), kCaptionPixels);
}

// At the alarm window's 30 points, the baseline lies where the design's example metrics put it
// (58 of 92 with an ascent of 23.3), so the capitals sit about the middle of the button.
TEST_F(MedButtonTest, TheCaptionIsCentredAcrossAndStandsOnItsBaseline) {
    button->Caption = "HIH"; // symmetric glyphs: the ink is centred as the advance is
    const QImage image = look().image;
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == kBlack) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.left(), image.width() - 1 - ink.right(), 2);
    EXPECT_NEAR(ink.bottom() + 1, 58, 1) << "the baseline";
}

} // namespace
} // namespace tallybell
