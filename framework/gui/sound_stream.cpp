#include "framework/gui/sound_stream_p.h"

#include <mutex>
#include <utility>

namespace fw {

namespace {

std::mutex installedMutex;
std::shared_ptr<SoundOutput> installedOutput; // a test recorder's, while one lives

constexpr std::chrono::seconds kHeldLatency{1};

} // namespace

std::shared_ptr<SoundOutput> CurrentSoundOutput() {
    {
        const std::lock_guard lock(installedMutex);
        if (installedOutput) {
            return installedOutput;
        }
    }
    return ServerSoundOutput();
}

// The recorder's state, shared with the streams it opened: the worker may still hold one after
// the recorder is gone.
class SoundStreamRecorder::Output : public SoundOutput,
                                    public std::enable_shared_from_this<Output> {
public:
    std::unique_ptr<SoundStream> Open(const PcmFormat& format, const std::string& name,
                                      std::string& why) override;

    mutable std::mutex mutex;
    std::vector<Stream> streams;
    bool reachable = true;
    bool holding = false;
};

namespace {

class RecordedStream : public SoundStream {
public:
    RecordedStream(std::shared_ptr<SoundStreamRecorder::Output> output, std::size_t index)
        : output_(std::move(output)), index_(index) {}

    ~RecordedStream() override {
        const std::lock_guard lock(output_->mutex);
        stream().closed = true;
    }

    bool Write(const char* data, std::size_t size, std::string&) override {
        const std::lock_guard lock(output_->mutex);
        stream().bytes.append(data, size);
        return true;
    }

    std::optional<std::chrono::microseconds> Latency(std::string&) override {
        const std::lock_guard lock(output_->mutex);
        return output_->holding ? kHeldLatency : std::chrono::microseconds(0);
    }

    bool Drain(std::string&) override {
        const std::lock_guard lock(output_->mutex);
        stream().end = SoundStreamRecorder::End::Drained;
        return true;
    }

    void Flush() override {
        const std::lock_guard lock(output_->mutex);
        stream().end = SoundStreamRecorder::End::Flushed;
    }

private:
    SoundStreamRecorder::Stream& stream() { return output_->streams[index_]; }

    std::shared_ptr<SoundStreamRecorder::Output> output_;
    std::size_t index_;
};

} // namespace

std::unique_ptr<SoundStream> SoundStreamRecorder::Output::Open(const PcmFormat& format,
                                                               const std::string& name,
                                                               std::string& why) {
    const std::lock_guard lock(mutex);
    if (!reachable) {
        why = "Connection refused";
        return nullptr;
    }
    streams.push_back(Stream{format, name, {}, End::Open, false});
    return std::make_unique<RecordedStream>(shared_from_this(), streams.size() - 1);
}

SoundStreamRecorder::SoundStreamRecorder() : output_(std::make_shared<Output>()) {
    const std::lock_guard lock(installedMutex);
    previous_ = std::exchange(installedOutput, output_);
}

SoundStreamRecorder::~SoundStreamRecorder() {
    const std::lock_guard lock(installedMutex);
    installedOutput = previous_;
}

std::vector<SoundStreamRecorder::Stream> SoundStreamRecorder::Streams() const {
    const std::lock_guard lock(output_->mutex);
    return output_->streams;
}

void SoundStreamRecorder::SetServerReachable(bool reachable) {
    const std::lock_guard lock(output_->mutex);
    output_->reachable = reachable;
}

void SoundStreamRecorder::SetHoldingStreams(bool holding) {
    const std::lock_guard lock(output_->mutex);
    output_->holding = holding;
}

} // namespace fw
