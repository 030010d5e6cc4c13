#include "framework/gui/picture.h"
#include "framework/gui/picture_qt_p.h"

#include <QImage>
#include <gtest/gtest.h>

namespace fw {
namespace {

// A 4 x 3 indexed picture whose pixel (x, y) holds palette index 4 * y + x.
std::shared_ptr<Picture> numberedPicture() {
    QImage image(4, 3, QImage::Format_Indexed8);
    QVector<QRgb> palette;
    for (int i = 0; i < 12; ++i) {
        palette.push_back(qRgba(20 * i, 0, 0, 255));
    }
    image.setColorTable(palette);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            image.setPixel(x, y, static_cast<uint>(4 * y + x));
        }
    }
    return PictureFromImage(image);
}

TEST(PictureTest, RegionInsideKeepsTheIndexedFormatAndThePixels) {
    const auto picture = numberedPicture();
    EXPECT_EQ(picture->Width(), 4);
    EXPECT_EQ(picture->Height(), 3);
    const QImage region = PictureRegion(*picture, QRect(1, 1, 2, 2));
    ASSERT_EQ(region.size(), QSize(2, 2));
    EXPECT_EQ(region.format(), QImage::Format_Indexed8);
    EXPECT_EQ(region.pixelIndex(0, 0), 5);
    EXPECT_EQ(region.pixelIndex(1, 1), 10);
}

TEST(PictureTest, RegionReachingOutsideIsTransparentThere) {
    const auto picture = numberedPicture();
    const QImage region = PictureRegion(*picture, QRect(2, 1, 4, 4));
    ASSERT_EQ(region.size(), QSize(4, 4));
    EXPECT_EQ(region.pixel(0, 0), PictureImage(*picture).pixel(2, 1));
    EXPECT_EQ(region.pixel(1, 1), PictureImage(*picture).pixel(3, 2));
    EXPECT_EQ(qAlpha(region.pixel(2, 0)), 0);
    EXPECT_EQ(qAlpha(region.pixel(0, 2)), 0);
    EXPECT_EQ(qAlpha(PictureRegion(*picture, QRect(10, 10, 2, 2)).pixel(1, 1)), 0);
}

} // namespace
} // namespace fw
