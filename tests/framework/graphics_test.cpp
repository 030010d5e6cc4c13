#include "framework/gui/appearance.h"
#include "framework/gui/font_qt_p.h"
#include "framework/gui/graphics.h"
#include "framework/gui/picture_qt_p.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <gtest/gtest.h>

#include <functional>

namespace fw {
namespace {

constexpr QRgb kPaper = 0xFFFFFFFF;

// Draws on a white image through a Graphics, as a Paint event would.
QImage drawn(const std::function<void(Graphics&)>& draw, QSize size = QSize(200, 100)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(kPaper);
    QPainter painter(&image);
    Graphics g(painter, size.width(), size.height());
    draw(g);
    return image;
}

// The smallest rectangle holding every pixel that is not paper.
QRect inkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != kPaper) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

TEST(GraphicsTest, FillRoundRectFillsInsideAndRoundsTheCorners) {
    const QImage image = drawn([](Graphics& g) {
        g.DrawingColor(Color(0x2A61C5));
        g.FillRoundRect(10, 10, 100, 50, 20, 20);
    });
    EXPECT_EQ(image.pixel(60, 35), qRgb(0x2A, 0x61, 0xC5));
    EXPECT_EQ(image.pixel(11, 35), qRgb(0x2A, 0x61, 0xC5)) << "edge midpoints are filled";
    EXPECT_EQ(image.pixel(10, 10), kPaper) << "the corner is cut by its arc";
    EXPECT_EQ(image.pixel(5, 35), kPaper);
    EXPECT_EQ(inkBounds(image), QRect(10, 10, 100, 50));
}

TEST(GraphicsTest, TextStandsOnItsBaselineFromItsLeftEnd) {
    const QImage image = drawn([](Graphics& g) {
        g.TextFont("Helvetica");
        g.TextUnit(FontUnit::Pixel);
        g.TextSize(40);
        g.DrawText("HH", 20, 70, 0, false);
    });
    const QRect ink = inkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_EQ(ink.bottom(), 69) << "capitals end on the row above the baseline";
    EXPECT_GE(ink.left(), 20);
    EXPECT_LE(ink.left(), 25);
    EXPECT_GT(ink.height(), 20);
}

// The sizes were chosen where a font reports its typographic ascent (Helvetica's is 0.77 of its
// size); the Windows ascent that Qt reports for Nimbus Sans would drop a centred caption by 5 px.
TEST(GraphicsTest, HelveticaAtThirtyPointsRisesAboutTwentyThreeAboveItsBaseline) {
    drawn([](Graphics& g) {
        g.TextFont("Helvetica");
        g.TextUnit(FontUnit::Point);
        g.TextSize(30);
        EXPECT_GT(g.TextAscent(), 21.0);
        EXPECT_LT(g.TextAscent(), 24.0);
    });
}

// No name, like "System", is the platform's default face: not a family of that (empty) name,
// which the font matcher answers with a serif face.
TEST(GraphicsTest, AnEmptyFontNameIsThePlatformsDefaultFace) {
    const QString standard = QFontInfo(QApplication::font()).family();
    EXPECT_EQ(QFontInfo(QtFont("", FontUnit::Point, 20)).family(), standard);
    EXPECT_EQ(QFontInfo(QtFont("System", FontUnit::Point, 20)).family(), standard);
}

TEST(GraphicsTest, DrawPictureCopiesTheSourceRegionAndNilDrawsNothing) {
    QImage sheet(20, 10, QImage::Format_RGB32);
    sheet.fill(Qt::red);
    QPainter(&sheet).fillRect(10, 0, 10, 10, Qt::blue);
    const auto picture = PictureFromImage(sheet);

    const QImage image = drawn([&](Graphics& g) {
        g.DrawPicture(picture, 30, 40, 10, 10, 10, 0, 10, 10);
        g.DrawPicture(nullptr, 0, 0, 50, 50, 0, 0, 50, 50);
    });
    EXPECT_EQ(inkBounds(image), QRect(30, 40, 10, 10));
    EXPECT_EQ(image.pixel(35, 45), QColor(Qt::blue).rgb());
}

TEST(AppearanceTest, DarkModeFollowsThePaletteUnlessOverridden) {
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    QApplication::setPalette(dark);
    EXPECT_TRUE(IsDarkMode());
    {
        AppearanceOverride light(false);
        EXPECT_FALSE(IsDarkMode());
    }
    QPalette bright = original;
    bright.setColor(QPalette::Window, QColor(0xEE, 0xEE, 0xEE));
    QApplication::setPalette(bright);
    EXPECT_FALSE(IsDarkMode());
    QApplication::setPalette(original);
}

} // namespace
} // namespace fw
