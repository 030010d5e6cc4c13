#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fw {

/// How a clip's samples are laid out: what a sound server needs to play them.
struct PcmFormat {
    enum class Encoding { U8, S16LE, S24LE, S32LE, Float32LE };
    Encoding encoding = Encoding::S16LE;
    int channels = 1;
    int rate = 44100;

    bool operator==(const PcmFormat&) const = default;
    /// Bytes of one sample frame (one sample of every channel).
    int FrameBytes() const;
};

/// The samples of a sound file, ready to be written to an audio stream as they are.
struct PcmClip {
    PcmFormat format;
    std::string name;    // what the sound server shows for the stream
    std::string samples; // whole frames only
};

/// The clip a RIFF/WAVE file holds (integer PCM of 8 to 32 bits, or 32-bit float); nullopt,
/// with the reason in why, when the bytes hold nothing that can be played.
std::optional<PcmClip> ParseWav(std::string_view bytes, std::string& why);

} // namespace fw
