// Sounds as the sound server would receive them: the worker's streams opened on the framework's
// recording output, never on a real server.
#include "framework/core/debug_log.h"
#include "framework/core/folder_item.h"
#include "framework/gui/sound.h"
#include "framework/gui/sound_stream_p.h"
#include "framework/gui/sound_worker_p.h"
#include "framework/gui/wav_p.h"
#include "tests/support/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fw {
namespace {

using tallybell::testing::WaitFor;
using End = SoundStreamRecorder::End;

void appendLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::string chunk(const std::string& id, const std::string& body) {
    std::string out = id;
    appendLE(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    if (body.size() % 2 != 0) {
        out.push_back('\0'); // the pad byte, not counted in the size
    }
    return out;
}

std::string fmtChunk(int tag, int channels, int rate, int bits) {
    std::string body;
    const int frame = channels * bits / 8;
    appendLE(body, tag, 2);
    appendLE(body, channels, 2);
    appendLE(body, rate, 4);
    appendLE(body, rate * frame, 4);
    appendLE(body, frame, 2);
    appendLE(body, bits, 2);
    return chunk("fmt ", body);
}

std::string riff(const std::string& chunks) {
    std::string out = "RIFF";
    appendLE(out, static_cast<std::uint32_t>(4 + chunks.size()), 4);
    return out + "WAVE" + chunks;
}

// Distinct bytes, so that a lost, repeated or reordered piece shows.
std::string pattern(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return out;
}

TEST(WavTest, ReadsTheSamplesPastOtherChunksAndPadding) {
    const std::string samples = pattern(std::size_t{2} * 44100); // one second of 16-bit mono
    const std::string wav = riff(chunk("LIST", "odd") + fmtChunk(1, 1, 44100, 16) +
                                 chunk("data", samples) + chunk("cue ", "x"));
    std::string why;
    const auto clip = ParseWav(wav, why);
    ASSERT_TRUE(clip) << why;
    EXPECT_EQ(clip->format, (PcmFormat{PcmFormat::Encoding::S16LE, 1, 44100}));
    EXPECT_EQ(clip->samples, samples);

    const auto stereoFloat =
        ParseWav(riff(fmtChunk(3, 2, 48000, 32) + chunk("data", pattern(24))), why);
    ASSERT_TRUE(stereoFloat) << why;
    EXPECT_EQ(stereoFloat->format, (PcmFormat{PcmFormat::Encoding::Float32LE, 2, 48000}));
}

TEST(WavTest, ACutShortDataChunkKeepsItsWholeFramesAndWhatCannotPlayIsRefused) {
    std::string cut = riff(fmtChunk(1, 2, 8000, 24)) + "data";
    appendLE(cut, 600, 4);
    cut += pattern(100); // 16 whole frames of 6 bytes, and 4 bytes of a 17th
    std::string why;
    const auto clip = ParseWav(cut, why);
    ASSERT_TRUE(clip) << why;
    EXPECT_EQ(clip->samples, pattern(96));

    for (const std::string& bad :
         {std::string("this is not a wave file"), riff(fmtChunk(1, 1, 44100, 16)),
          riff(fmtChunk(2, 1, 44100, 4) + chunk("data", "ab")),
          riff(fmtChunk(1, 0, 44100, 16) + chunk("data", "ab"))}) {
        why.clear();
        EXPECT_FALSE(ParseWav(bad, why));
        EXPECT_FALSE(why.empty());
    }
}

// A sound of the test's own: 0.1 s of 16-bit mono at 8 kHz, in a temporary folder.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid()) << qPrintable(dir.errorString());
        sound = open("beep.wav", riff(fmtChunk(1, 1, 8000, 16) + chunk("data", samples)));
        ASSERT_NE(sound, nullptr);
    }

    std::shared_ptr<Sound> open(const char* name, const std::string& bytes) {
        QFile file(dir.filePath(name));
        const auto size = static_cast<qint64>(bytes.size());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), size) != size) {
            ADD_FAILURE() << qPrintable(file.errorString());
            return nullptr;
        }
        file.close();
        return Deref(FolderItem(dir.path().toStdString()).Child(String(name))).OpenAsSound();
    }

    bool waitForStreams(std::size_t count, End end) {
        return WaitFor([&] {
            const auto streams = recorder.Streams();
            return streams.size() == count && streams.back().end == end &&
                   (end == End::Open ? streams.back().bytes == samples : streams.back().closed);
        });
    }

    std::vector<std::string> noSoundLines() const {
        QCoreApplication::processEvents(); // the worker's lines come through the event loop
        std::vector<std::string> lines;
        for (const std::string& line : log.Lines()) {
            if (line.rfind("No sound: ", 0) == 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    const std::string samples = pattern(1600);
    QTemporaryDir dir;
    SoundStreamRecorder recorder;
    DebugLogCapture log;
    std::shared_ptr<Sound> sound;
};

TEST_F(SoundTest, EachPlayIsANewStreamOfTheWholeFileLeftToPlayOut) {
    sound->Play();
    ASSERT_TRUE(waitForStreams(1, End::Drained));
    sound->Play();
    ASSERT_TRUE(waitForStreams(2, End::Drained));
    for (const auto& stream : recorder.Streams()) {
        EXPECT_EQ(stream.format, (PcmFormat{PcmFormat::Encoding::S16LE, 1, 8000}));
        EXPECT_EQ(stream.name, "beep.wav");
        EXPECT_EQ(stream.bytes, samples) << "every byte, once, in order";
    }
    EXPECT_EQ(sound->PlayCount(), 2);
    EXPECT_TRUE(noSoundLines().empty());
}

TEST_F(SoundTest, APlayRestartsTheSoundAndStopEndsItsStream) {
    recorder.SetHoldingStreams(true);
    sound->Play();
    ASSERT_TRUE(waitForStreams(1, End::Open));
    sound->Play();
    ASSERT_TRUE(waitForStreams(2, End::Open));
    EXPECT_EQ(recorder.Streams()[0].end, End::Flushed) << "the play under way is cut off";
    EXPECT_TRUE(recorder.Streams()[0].closed);
    sound->Stop();
    ASSERT_TRUE(WaitFor([&] { return recorder.Streams()[1].closed; }));
    EXPECT_EQ(recorder.Streams()[1].end, End::Flushed);

    recorder.SetHoldingStreams(false);
    sound->Play();
    ASSERT_TRUE(waitForStreams(3, End::Drained)) << "a play after a stop plays";
}

// A server that is missing, starts late or goes away costs only the plays it could not take,
// and each outage is told once.
TEST_F(SoundTest, WithoutAServerPlaysAreMissedAndTheLogSaysWhyOncePerOutage) {
    recorder.SetServerReachable(false);
    sound->Play();
    ASSERT_TRUE(WaitFor([&] { return noSoundLines().size() == 1; }));
    EXPECT_NE(noSoundLines()[0].find("Connection refused"), std::string::npos);
    sound->Play();
    recorder.SetServerReachable(true);
    sound->Play();
    ASSERT_TRUE(waitForStreams(1, End::Drained));
    EXPECT_EQ(noSoundLines().size(), 1u);

    recorder.SetServerReachable(false);
    sound->Play();
    EXPECT_TRUE(WaitFor([&] { return noSoundLines().size() == 2; }))
        << "a second outage is told too";
}

TEST_F(SoundTest, AFileThatCannotPlaySaysSoOnceAndOpensNoStream) {
    const auto noise = open("noise.wav", "this is not a wave file");
    ASSERT_NE(noise, nullptr);
    noise->Play();
    noise->Play();
    noise->Stop();
    ASSERT_EQ(noSoundLines().size(), 1u);
    EXPECT_NE(noSoundLines()[0].find(noise->Path()), std::string::npos);
    sound->Play(); // the worker is idle, not stuck
    EXPECT_TRUE(waitForStreams(1, End::Drained));
}

// The application object ends the worker before the toolkit goes: its stream is cut off and its
// thread joined, whatever it was doing.
TEST_F(SoundTest, TheWorkerEndsItsStreamAndThreadWhenTheApplicationEndsIt) {
    recorder.SetHoldingStreams(true);
    sound->Play();
    ASSERT_TRUE(waitForStreams(1, End::Open));
    delete SoundWorker::Existing();
    EXPECT_EQ(SoundWorker::Existing(), nullptr);
    EXPECT_EQ(recorder.Streams()[0].end, End::Flushed);
    EXPECT_TRUE(recorder.Streams()[0].closed);
    sound->Play(); // a new worker
    EXPECT_TRUE(waitForStreams(2, End::Open));
}

// With the play recorder, the calls are recorded and nothing reaches an output.
TEST_F(SoundTest, ThePlayRecorderKeepsPlaysFromTheOutput) {
    SoundPlayRecorder plays;
    sound->Play();
    sound->Stop();
    EXPECT_EQ(plays.Plays(), std::vector<std::string>{sound->Path()});
    EXPECT_EQ(plays.Stops(), std::vector<std::string>{sound->Path()});
    EXPECT_EQ(SoundWorker::Existing(), nullptr);
}

} // namespace
} // namespace fw
