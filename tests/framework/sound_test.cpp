#include "framework/core/folder_item.h"
#include "framework/gui/sound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <utility>

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

// Whatever the machine's audio (here usually none) and whatever the file holds, playing and
// stopping neither raise nor stall the loop.
TEST(SoundTest, PlayingAndStoppingNeverFail) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid()) << qPrintable(dir.errorString());
    const FolderItem folder(dir.path().toStdString());
    for (const auto& [name, bytes] : {std::pair<const char*, QByteArray>{"silent.wav", silentWav()},
                                      {"noise.wav", "this is not a wave file"}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const auto sound = Deref(folder.Child(String(name))).OpenAsSound();
        ASSERT_NE(sound, nullptr) << name;
        EXPECT_NO_THROW(sound->Play());
        EXPECT_NO_THROW(sound->Play());
        EXPECT_NO_THROW(sound->Stop());
        EXPECT_EQ(sound->PlayCount(), 2);
    }
    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return loopRan; }, 2000));
}

} // namespace
} // namespace fw
