#include "framework/folder_item.h"
#include "framework/sound.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace fw {
namespace {

// A valid, silent, 10 ms 16-bit mono WAV file.
QByteArray silentWav() {
    const QByteArray samples(882, '\0');
    QByteArray wav("RIFF");
    auto le32 = [&](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [&](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    le32(36 + samples.size());
    wav.append("WAVEfmt ");
    le32(16), le16(1), le16(1), le32(44100), le32(88200), le16(2), le16(16);
    wav.append("data");
    le32(samples.size());
    return wav + samples;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()) << qPrintable(dir_.errorString()); }

    std::string writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            << qPrintable(file.errorString());
        return file.fileName().toStdString();
    }

    std::string writeWav(const QString& name) { return writeFile(name, silentWav()); }

    FolderItem folder() const { return FolderItem(dir_.path().toStdString()); }

    QTemporaryDir dir_;
};

TEST_F(SoundTest, OnlyAnExistingRegularFileOpensAsASound) {
    const std::string path = writeWav("beep.wav");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.wav"));
    const auto sound = Deref(folder().Child(String("beep.wav"))).OpenAsSound();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Path(), path);
    EXPECT_EQ(Deref(folder().Child(String("missing.wav"))).OpenAsSound(), nullptr);
    EXPECT_EQ(Deref(folder().Child(String("folder.wav"))).OpenAsSound(), nullptr);
}

TEST_F(SoundTest, RecorderSeesEveryPlayAndStopOfAnySoundInOrder) {
    const std::string a = writeWav("a.wav");
    const std::string b = writeWav("b.wav");
    const auto soundA = Deref(folder().Child(String("a.wav"))).OpenAsSound();
    const auto soundB = Deref(folder().Child(String("b.wav"))).OpenAsSound();
    SoundPlayRecorder recorder;
    soundA->Play();
    soundB->Play();
    soundA->Play();
    soundA->Stop();
    EXPECT_EQ(recorder.Plays(), (std::vector<std::string>{a, b, a}));
    EXPECT_EQ(recorder.Stops(), (std::vector<std::string>{a}));
    EXPECT_EQ(soundA->PlayCount(), 2);
    EXPECT_EQ(soundA->StopCount(), 1);
    EXPECT_EQ(soundB->PlayCount(), 1);
    EXPECT_EQ(soundB->StopCount(), 0);
}

TEST_F(SoundTest, NestedRecorderHandsBackToTheOuterOne) {
    const std::string c = writeWav("c.wav");
    const auto horn = Deref(folder().Child(String("c.wav"))).OpenAsSound();
    SoundPlayRecorder outer;
    {
        SoundPlayRecorder inner;
        horn->Play();
        EXPECT_EQ(inner.Plays().size(), 1u);
    }
    horn->Play();
    EXPECT_EQ(outer.Plays(), (std::vector<std::string>{c}));
}

// Whatever the machine's audio (here usually none), playing neither raises nor stalls the loop.
TEST_F(SoundTest, PlayingAndStoppingNeverFail) {
    writeWav("d.wav");
    const auto sound = Deref(folder().Child(String("d.wav"))).OpenAsSound();
    EXPECT_NO_THROW(sound->Play());
    EXPECT_NO_THROW(sound->Play());
    EXPECT_NO_THROW(sound->Stop());
    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return loopRan; }, 2000));
}

TEST_F(SoundTest, ASoundOfAGarbageFileStillPlaysWithoutFailing) {
    writeFile("noise.wav", "this is not a wave file");
    const auto sound = Deref(folder().Child(String("noise.wav"))).OpenAsSound();
    ASSERT_NE(sound, nullptr);
    EXPECT_NO_THROW(sound->Play());
    EXPECT_EQ(sound->PlayCount(), 1);
}

} // namespace
} // namespace fw
