#include "framework/gui/wav_p.h"

#include <cstdint>

namespace fw {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kFmtBytes = 16;
constexpr std::size_t kExtensibleFmtBytes = 26; // up to the sub-format's first two bytes
constexpr int kMaxChannels = 32;                // the sound server's own limits
constexpr std::uint32_t kMaxRate = 384000;

std::uint32_t le(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

struct Chunks {
    std::optional<std::string_view> fmt;
    std::optional<std::string_view> data;
};

// Walks the RIFF chunks after the 12-byte header. A data chunk whose size runs past the end of
// the file (a recording cut short, or a streamed header) keeps what is there.
Chunks findChunks(std::string_view bytes) {
    Chunks found;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t size = le(bytes, at + 4, 4);
        const std::string_view body = bytes.substr(at + 8, size);
        if (id == "fmt " && !found.fmt) {
            found.fmt = body;
        } else if (id == "data" && !found.data) {
            found.data = body;
        }
        if (size >= bytes.size()) {
            break;
        }
        at += 8 + size + (size & 1); // chunks are padded to an even size
    }
    return found;
}

std::optional<PcmFormat::Encoding> encodingOf(std::uint16_t tag, std::uint16_t bits) {
    if (tag == kFormatFloat) {
        return bits == 32 ? std::optional(PcmFormat::Encoding::Float32LE) : std::nullopt;
    }
    if (tag != kFormatPcm) {
        return std::nullopt;
    }
    switch (bits) {
    case 8:
        return PcmFormat::Encoding::U8;
    case 16:
        return PcmFormat::Encoding::S16LE;
    case 24:
        return PcmFormat::Encoding::S24LE;
    case 32:
        return PcmFormat::Encoding::S32LE;
    default:
        return std::nullopt;
    }
}

std::optional<PcmFormat> readFormat(std::string_view fmt, std::string& why) {
    if (fmt.size() < kFmtBytes) {
        why = "its format chunk is too short";
        return std::nullopt;
    }
    std::uint16_t tag = static_cast<std::uint16_t>(le(fmt, 0, 2));
    if (tag == kFormatExtensible && fmt.size() >= kExtensibleFmtBytes) {
        tag = static_cast<std::uint16_t>(le(fmt, 24, 2)); // the sub-format names the encoding
    }
    const auto bits = static_cast<std::uint16_t>(le(fmt, 14, 2));
    const int channels = static_cast<int>(le(fmt, 2, 2));
    const std::uint32_t rate = le(fmt, 4, 4);
    const auto encoding = encodingOf(tag, bits);
    if (!encoding) {
        why = "its samples are not integer PCM of 8 to 32 bits or 32-bit float";
        return std::nullopt;
    }
    if (channels < 1 || channels > kMaxChannels || rate < 1 || rate > kMaxRate) {
        why = "its channel count or sample rate is out of range";
        return std::nullopt;
    }
    return PcmFormat{*encoding, channels, static_cast<int>(rate)};
}

} // namespace

int PcmFormat::FrameBytes() const {
    switch (encoding) {
    case Encoding::U8:
        return channels;
    case Encoding::S16LE:
        return 2 * channels;
    case Encoding::S24LE:
        return 3 * channels;
    case Encoding::S32LE:
    case Encoding::Float32LE:
        return 4 * channels;
    }
    return channels;
}

std::optional<PcmClip> ParseWav(std::string_view bytes, std::string& why) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        why = "it is not a RIFF/WAVE file";
        return std::nullopt;
    }
    const Chunks chunks = findChunks(bytes);
    if (!chunks.fmt || !chunks.data) {
        why = "it has no format or no data chunk";
        return std::nullopt;
    }
    const std::optional<PcmFormat> format = readFormat(*chunks.fmt, why);
    if (!format) {
        return std::nullopt;
    }
    const std::size_t frame = static_cast<std::size_t>(format->FrameBytes());
    const std::string_view samples = chunks.data->substr(0, chunks.data->size() / frame * frame);
    return PcmClip{*format, {}, std::string(samples)};
}

} // namespace fw
