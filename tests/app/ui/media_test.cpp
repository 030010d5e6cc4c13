#include "app/ui/media.h"
#include "framework/core/debug_log.h"
#include "framework/core/folder_item.h"
#include "framework/gui/picture_qt_p.h"
#include "tests/support/two_hosts.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

// The sprite sheet is compiled in as the resource bundle "pictures"; the retry test takes it
// away and gives it back through Qt's own resource registration.
static void withdrawPictures() {
    Q_CLEANUP_RESOURCE(pictures);
}
static void restorePictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace tallybell {
namespace {

constexpr int frameSide = 256;

QRect frameRect(int n) {
    return QRect(frameSide * (n % 10), frameSide * (n / 10), frameSide, frameSide);
}

QImage frame(int n) {
    return PictureRegion(fw::Deref(SpriteSheet()), frameRect(n))
        .convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    return count;
}

int differingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

TEST(SpriteSheetTest, IsTenByTenFramesAndStaysEightBitInMemory) {
    const auto sheet = SpriteSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->Width(), 2560);
    EXPECT_EQ(sheet->Height(), 2560);
    // 6.5 MB as palette indices rather than 26 MB of 32-bit pixels.
    EXPECT_EQ(PictureImage(*sheet).format(), QImage::Format_Indexed8);
    EXPECT_EQ(PictureImage(*sheet).sizeInBytes(), 2560 * 2560);
}

TEST(SpriteSheetTest, AFailedLoadIsRetriedAndASuccessfulOneNeverRepeated) {
    withdrawPictures();
    EXPECT_EQ(SpriteSheet(), nullptr);
    EXPECT_EQ(SpriteSheet(), nullptr);
    restorePictures();
    const auto loaded = SpriteSheet();
    ASSERT_NE(loaded, nullptr) << "the call after a failure must try again";
    withdrawPictures();
    EXPECT_EQ(SpriteSheet(), loaded) << "a loaded sheet must never be loaded again";
    restorePictures();
}

// Each frame the window draws holds the whole alarm picture: something drawn in its middle,
// nothing on its edges that would be cut off, or that belongs to a neighbour.
TEST(SpriteSheetTest, FramesZeroNineTenFiftySevenAndNinetyNineAreWholePictures) {
    for (int n : {0, 9, 10, 57, 99}) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const QImage image = frame(n);
        ASSERT_EQ(image.size(), QSize(frameSide, frameSide));
        EXPECT_GT(opaquePixels(image, QRect(64, 64, 128, 128)), 128 * 128 / 4);
        const int edge = opaquePixels(image, QRect(0, 0, frameSide, 1)) +
                         opaquePixels(image, QRect(0, frameSide - 1, frameSide, 1)) +
                         opaquePixels(image, QRect(0, 0, 1, frameSide)) +
                         opaquePixels(image, QRect(frameSide - 1, 0, 1, frameSide));
        EXPECT_EQ(edge, 0);
    }
}

// The animation moves at every step, and the step from frame 99 back to frame 0 is no bigger
// than the others, so the loop has no visible jump.
TEST(SpriteSheetTest, TheAnimationMovesAndLoopsWithoutAJump) {
    std::vector<QImage> frames;
    frames.reserve(100);
    for (int n = 0; n < 100; ++n) {
        frames.push_back(frame(n));
    }
    int largestStep = 0;
    for (int n = 0; n < 99; ++n) {
        const int step = differingPixels(frames[n], frames[n + 1]);
        EXPECT_GT(step, 0) << "frames " << n << " and " << n + 1 << " are the same";
        largestStep = std::max(largestStep, step);
    }
    const int wrap = differingPixels(frames[99], frames[0]);
    EXPECT_GT(wrap, 0);
    EXPECT_LE(wrap, largestStep);
}

// The horn as the build lays it out beside the application: 16-bit PCM mono, 1 to 2 seconds.
TEST(HornFileTest, TheBuiltHornIsAOneToTwoSecondSixteenBitMonoWave) {
    QFile file(testing::TwoHosts::Bin("Resources/Horn.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.errorString());
    const QByteArray wav = file.readAll();
    ASSERT_GE(wav.size(), 44);
    const char* h = wav.constData();
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(qFromLittleEndian<quint16>(h + 20), 1) << "PCM";
    EXPECT_EQ(qFromLittleEndian<quint16>(h + 22), 1) << "mono";
    EXPECT_EQ(qFromLittleEndian<quint16>(h + 34), 16) << "bits per sample";
    EXPECT_EQ(wav.mid(36, 4), "data");
    const double seconds =
        qFromLittleEndian<quint32>(h + 40) / 2.0 / qFromLittleEndian<quint32>(h + 24);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 2.0);
    EXPECT_EQ(wav.size(), 44 + qFromLittleEndian<quint32>(h + 40));
}

// The horn loader against a Resources folder of the test's own, laid out (or left out) before
// the first call.
class AirHornTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()) << qPrintable(folder_.errorString()); }

    void makeResources() { ASSERT_TRUE(QDir().mkpath(resources_)) << qPrintable(resources_); }

    void putHorn() {
        const QString built = testing::TwoHosts::Bin("Resources/Horn.wav");
        ASSERT_TRUE(QFile::copy(built, hornPath())) << qPrintable(built);
    }

    QString hornPath() const { return resources_ + "/Horn.wav"; }

    QTemporaryDir folder_;
    const QString resources_ = folder_.filePath("Resources");
    fw::ResourcesFolderOverride override_{resources_.toStdString()};
};

TEST_F(AirHornTest, TheHornIsOpenedOnceAndTheSameSoundKept) {
    makeResources();
    putHorn();
    const auto horn = AirHorn();
    ASSERT_NE(horn, nullptr);
    EXPECT_EQ(QDir::cleanPath(QString::fromStdString(horn->Path())), QDir::cleanPath(hornPath()));
    EXPECT_EQ(AirHorn(), horn);
    ASSERT_TRUE(QFile::remove(hornPath()));
    EXPECT_EQ(AirHorn(), horn) << "the horn is kept, not looked for again";
}

TEST_F(AirHornTest, AMissingHornIsNilSaidOnceAndNotLookedForAgain) {
    makeResources();
    fw::DebugLogCapture log;
    EXPECT_EQ(AirHorn(), nullptr);
    putHorn();
    EXPECT_EQ(AirHorn(), nullptr) << "a horn added later waits for the next start";
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Horn file missing: " +
                                                    QDir::cleanPath(hornPath()).toStdString()});
}

TEST_F(AirHornTest, AHornThatIsNotAFileIsNilForGood) {
    makeResources();
    ASSERT_TRUE(QDir().mkpath(hornPath()));
    EXPECT_EQ(AirHorn(), nullptr);
    ASSERT_TRUE(QDir(hornPath()).removeRecursively());
    putHorn();
    EXPECT_EQ(AirHorn(), nullptr);
}

} // namespace
} // namespace tallybell
