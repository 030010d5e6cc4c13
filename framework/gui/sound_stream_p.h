#pragma once

#include "framework/gui/wav_p.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

/// One playback stream on the sound server; only the sound worker's thread uses it. Every call
/// but Flush may wait on the server. Destroying the stream closes it.
class SoundStream {
public:
    virtual ~SoundStream() = default;
    /// Queues samples, waiting while the server's buffer is full; false, with why, on failure.
    virtual bool Write(const char* data, std::size_t size, std::string& why) = 0;
    /// How long until the last sample written is heard; nullopt, with why, on failure.
    virtual std::optional<std::chrono::microseconds> Latency(std::string& why) = 0;
    /// Waits until every sample written has been played; false, with why, on failure.
    virtual bool Drain(std::string& why) = 0;
    /// Drops what has not been played yet.
    virtual void Flush() = 0;
};

/// Where the sound worker opens its streams: the sound server, or a test's recorder.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    /// A new stream for one play of a clip in this format; null, with why, when there is none.
    virtual std::unique_ptr<SoundStream> Open(const PcmFormat& format, const std::string& name,
                                              std::string& why) = 0;
};

/// The output a play opens its stream on now: the live test recorder's, else the sound server's.
/// Any thread.
std::shared_ptr<SoundOutput> CurrentSoundOutput();

/// The platform's sound server.
std::shared_ptr<SoundOutput> ServerSoundOutput();

/// Test hook: while alive, every stream the sound worker opens is recorded here instead of
/// reaching the sound server. It can stand for a server that cannot be reached, and can keep
/// an open stream sounding until a stop or a new play ends it. Safe to read while the worker
/// writes.
class SoundStreamRecorder {
public:
    enum class End { Open, Drained, Flushed };
    struct Stream {
        PcmFormat format;
        std::string name;
        std::string bytes; // everything written, in order
        End end = End::Open;
        bool closed = false;
    };

    SoundStreamRecorder();
    ~SoundStreamRecorder();
    SoundStreamRecorder(const SoundStreamRecorder&) = delete;
    SoundStreamRecorder& operator=(const SoundStreamRecorder&) = delete;

    /// The streams opened so far, oldest first (a copy).
    std::vector<Stream> Streams() const;
    /// False: opening a stream fails as it does with no sound server running.
    void SetServerReachable(bool reachable);
    /// True: an open stream always has audio still to play, so only a stop or a new play ends
    /// it; false: what was written counts as heard at once.
    void SetHoldingStreams(bool holding);

    class Output;

private:
    std::shared_ptr<Output> output_;
    std::shared_ptr<SoundOutput> previous_;
};

} // namespace fw
