#pragma once

#include "framework/gui/wav_p.h"

#include <QObject>
#include <QSocketNotifier>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fw {

class SoundStream;

/// The one thread that writes sounds to the sound server, a new stream for every play, so that
/// the main thread never waits on the server. A server that is missing, stalls or restarts costs
/// only the plays it could not take; the debug log says once per outage why there is no sound.
/// It lives as a child of the application object, which ends it (and joins its thread) before
/// the toolkit goes. Only plain data crosses between the threads, under one mutex.
class SoundWorker : public QObject {
public:
    /// The process's worker, made on first use; null without an application object. Main thread.
    static SoundWorker* Instance();
    /// The worker if one was made, else null: stopping needs no thread of its own. Main thread.
    static SoundWorker* Existing();

    ~SoundWorker() override;
    SoundWorker(const SoundWorker&) = delete;
    SoundWorker& operator=(const SoundWorker&) = delete;

    /// Plays clip from its start, ending the stream of any play still under way. Main thread.
    void Play(std::shared_ptr<const PcmClip> clip);
    /// Ends clip's play under way at once, and any of its plays not yet begun. Main thread.
    void Stop(const PcmClip* clip);

private:
    explicit SoundWorker(QObject* parent);

    void run();
    void playOne(const PcmClip& clip);
    bool writeAll(SoundStream& stream, const PcmClip& clip, std::string& why);
    bool awaitEnd(SoundStream& stream, std::string& why);
    /// A stop, a newer play or the end of the worker is waiting.
    bool interrupted() const;
    bool interruptedLocked() const; // with mutex_ held
    void failed(const std::string& line);
    void sayLines(); // main thread

    // Shared with the main thread, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<const PcmClip>> pending_;
    const PcmClip* playing_ = nullptr;
    bool stopPlaying_ = false;
    bool quit_ = false;
    std::vector<std::string> lines_; // for the debug log, which belongs to the main thread

    // The worker's lines wake the main thread through this event counter; without it they are
    // said at the next play or stop.
    int lineEvent_ = -1;
    std::unique_ptr<QSocketNotifier> lineNotifier_;

    bool told_ = false; // worker thread only: this outage's reason is in the debug log
    std::thread thread_;
};

} // namespace fw
