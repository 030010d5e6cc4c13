#include "framework/gui/sound_stream_p.h"

#include <pulse/error.h>
#include <pulse/simple.h>

namespace fw {

namespace {

constexpr const char* kApplicationName = "Tallybell";
// The server's buffer for one stream. Asked for afresh on every stream, so no stream inherits a
// smaller grant from the one before; small enough that a stop drops little.
constexpr pa_usec_t kTargetBufferUs = 200'000;

pa_sample_format_t sampleFormat(PcmFormat::Encoding encoding) {
    switch (encoding) {
    case PcmFormat::Encoding::U8:
        return PA_SAMPLE_U8;
    case PcmFormat::Encoding::S16LE:
        return PA_SAMPLE_S16LE;
    case PcmFormat::Encoding::S24LE:
        return PA_SAMPLE_S24LE;
    case PcmFormat::Encoding::S32LE:
        return PA_SAMPLE_S32LE;
    case PcmFormat::Encoding::Float32LE:
        return PA_SAMPLE_FLOAT32LE;
    }
    return PA_SAMPLE_S16LE;
}

std::string errorText(int error) {
    const char* text = pa_strerror(error);
    return text ? text : "error " + std::to_string(error);
}

// One stream through PulseAudio's simple API (PipeWire's Pulse server speaks it too).
class PulseStream : public SoundStream {
public:
    explicit PulseStream(pa_simple* simple) : simple_(simple) {}
    ~PulseStream() override { pa_simple_free(simple_); }
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    bool Write(const char* data, std::size_t size, std::string& why) override {
        int error = 0;
        if (pa_simple_write(simple_, data, size, &error) < 0) {
            why = errorText(error);
            return false;
        }
        return true;
    }

    std::optional<std::chrono::microseconds> Latency(std::string& why) override {
        int error = 0;
        const pa_usec_t latency = pa_simple_get_latency(simple_, &error);
        if (latency == static_cast<pa_usec_t>(-1)) {
            why = errorText(error);
            return std::nullopt;
        }
        return std::chrono::microseconds(latency);
    }

    bool Drain(std::string& why) override {
        int error = 0;
        if (pa_simple_drain(simple_, &error) < 0) {
            why = errorText(error);
            return false;
        }
        return true;
    }

    // A failed flush leaves nothing to do: the stream is closed next either way.
    void Flush() override { pa_simple_flush(simple_, nullptr); }

private:
    pa_simple* simple_;
};

class PulseOutput : public SoundOutput {
public:
    std::unique_ptr<SoundStream> Open(const PcmFormat& format, const std::string& name,
                                      std::string& why) override {
        const pa_sample_spec pcm{sampleFormat(format.encoding),
                                 static_cast<std::uint32_t>(format.rate),
                                 static_cast<std::uint8_t>(format.channels)};
        const auto unset = static_cast<std::uint32_t>(-1);
        const pa_buffer_attr buffer{
            unset, static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetBufferUs, &pcm)), unset,
            unset, unset};
        int error = 0;
        pa_simple* simple = pa_simple_new(nullptr, kApplicationName, PA_STREAM_PLAYBACK, nullptr,
                                          name.c_str(), &pcm, nullptr, &buffer, &error);
        if (!simple) {
            why = errorText(error);
            return nullptr;
        }
        return std::make_unique<PulseStream>(simple);
    }
};

} // namespace

std::shared_ptr<SoundOutput> ServerSoundOutput() {
    static const std::shared_ptr<SoundOutput> server = std::make_shared<PulseOutput>();
    return server;
}

} // namespace fw
