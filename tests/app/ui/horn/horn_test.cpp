// The horn loader against the real Resources lookup: this executable has a folder of its own,
// and each test lays out (or leaves out) the Resources folder beside it before the first call.
#include "app/ui/media.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>

namespace tallybell {
namespace {

class AirHornTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QDir here(QCoreApplication::applicationDirPath());
        resources_ = here.filePath("Resources");
        ASSERT_FALSE(QDir(here.filePath("../share/tallybell/Resources")).exists())
            << "an installed-layout Resources folder would be found instead";
        removeResources();
        const char* bin = std::getenv("TALLYBELL_BIN");
        ASSERT_NE(bin, nullptr);
        builtHorn_ = QString::fromLocal8Bit(bin) + "/Resources/Horn.wav";
        ASSERT_TRUE(QFile::exists(builtHorn_)) << qPrintable(builtHorn_);
    }

    void TearDown() override { removeResources(); }

    void removeResources() {
        ASSERT_TRUE(QDir(resources_).removeRecursively()) << qPrintable(resources_);
    }

    void makeResources() { ASSERT_TRUE(QDir().mkpath(resources_)) << qPrintable(resources_); }

    void putHorn() { ASSERT_TRUE(QFile::copy(builtHorn_, hornPath())) << qPrintable(hornPath()); }

    QString hornPath() const { return resources_ + "/Horn.wav"; }

    QString resources_;
    QString builtHorn_;
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

TEST_F(AirHornTest, AMissingHornIsNilAndNotLookedForAgain) {
    makeResources();
    EXPECT_EQ(AirHorn(), nullptr);
    putHorn();
    EXPECT_EQ(AirHorn(), nullptr) << "a horn added later waits for the next start";
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
