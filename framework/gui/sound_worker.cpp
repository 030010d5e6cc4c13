#include "framework/core/debug_log.h"
#include "framework/gui/sound_player_p.h"
#include "framework/gui/sound_stream_p.h"
#include "framework/gui/sound_worker_p.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace fw {

namespace {

// Written a piece at a time, so that a stop or a new play is seen between two pieces even while
// the server's buffer is full.
constexpr std::chrono::milliseconds kPiece{50};
// The end of a play is awaited in steps no longer than this, each cut short by a stop; the last
// few milliseconds are left to the server's drain, which cannot be cut short.
constexpr std::chrono::milliseconds kAwaitStep{50};
constexpr std::chrono::milliseconds kDrainedTail{30};

std::size_t pieceBytes(const PcmFormat& format) {
    const auto frames = static_cast<std::size_t>(format.rate) * kPiece.count() / 1000;
    return std::max<std::size_t>(frames, 1) * static_cast<std::size_t>(format.FrameBytes());
}

// Cleared by Qt when the application object deletes its child.
QPointer<SoundWorker> theWorker;

} // namespace

SoundWorker* SoundWorker::Instance() {
    if (!theWorker && QCoreApplication::instance()) {
        theWorker = new SoundWorker(QCoreApplication::instance());
    }
    return theWorker;
}

SoundWorker* SoundWorker::Existing() {
    return theWorker;
}

SoundWorker::SoundWorker(QObject* parent) : QObject(parent) {
    lineEvent_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (lineEvent_ >= 0) {
        lineNotifier_ = std::make_unique<QSocketNotifier>(lineEvent_, QSocketNotifier::Read);
        QObject::connect(lineNotifier_.get(), &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            // Only resets the counter: EAGAIN (already read) leaves nothing to do.
            (void)!::read(lineEvent_, &count, sizeof count);
            sayLines();
        });
    }
    thread_ = std::thread([this] { run(); });
}

SoundWorker::~SoundWorker() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
    lineNotifier_.reset();
    if (lineEvent_ >= 0) {
        ::close(lineEvent_);
    }
    sayLines(); // standard error outlives the toolkit
}

void SoundWorker::sayLines() {
    std::vector<std::string> lines;
    {
        const std::lock_guard lock(mutex_);
        lines.swap(lines_);
    }
    for (const std::string& line : lines) {
        DebugLog(String(line));
    }
}

void SoundWorker::Play(std::shared_ptr<const PcmClip> clip) {
    sayLines();
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(std::move(clip));
    }
    wake_.notify_all();
}

void SoundWorker::Stop(const PcmClip* clip) {
    sayLines();
    {
        const std::lock_guard lock(mutex_);
        std::erase_if(pending_, [clip](const auto& waiting) { return waiting.get() == clip; });
        stopPlaying_ = stopPlaying_ || playing_ == clip;
    }
    wake_.notify_all();
}

void SoundWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !pending_.empty(); });
        if (quit_) {
            return;
        }
        // Only the newest waiting play is begun: each older one would be cut off by it at once.
        const std::shared_ptr<const PcmClip> clip = pending_.back();
        pending_.clear();
        playing_ = clip.get();
        stopPlaying_ = false;
        lock.unlock();
        playOne(*clip);
        lock.lock();
        playing_ = nullptr;
    }
}

bool SoundWorker::interrupted() const {
    const std::lock_guard lock(mutex_);
    return interruptedLocked();
}

bool SoundWorker::interruptedLocked() const {
    return quit_ || stopPlaying_ || !pending_.empty();
}

void SoundWorker::playOne(const PcmClip& clip) {
    std::string why;
    const std::unique_ptr<SoundStream> stream =
        CurrentSoundOutput()->Open(clip.format, clip.name, why);
    if (!stream) {
        failed("No sound: the sound server cannot be reached (" + why + ")");
        return;
    }
    told_ = false; // the server is back: a later outage is told again
    const bool whole = writeAll(*stream, clip, why) && awaitEnd(*stream, why);
    if (!whole && !why.empty()) {
        failed("No sound: the sound server stopped playing (" + why + ")");
    }
}

// False when the play was stopped (why stays empty) or the stream failed (why says how).
bool SoundWorker::writeAll(SoundStream& stream, const PcmClip& clip, std::string& why) {
    const std::size_t piece = pieceBytes(clip.format);
    for (std::size_t at = 0; at < clip.samples.size(); at += piece) {
        if (interrupted()) {
            stream.Flush();
            return false;
        }
        const std::size_t size = std::min(piece, clip.samples.size() - at);
        if (!stream.Write(clip.samples.data() + at, size, why)) {
            return false;
        }
    }
    return true;
}

// Waits for the whole clip to be heard, so that closing the stream cuts off no tail; a stop or
// a new play ends the wait and drops what is left.
bool SoundWorker::awaitEnd(SoundStream& stream, std::string& why) {
    for (;;) {
        const std::optional<std::chrono::microseconds> left = stream.Latency(why);
        if (!left) {
            return false;
        }
        if (*left <= kDrainedTail) {
            return stream.Drain(why);
        }
        std::unique_lock lock(mutex_);
        const auto step = std::min<std::chrono::microseconds>(*left - kDrainedTail, kAwaitStep);
        if (wake_.wait_for(lock, step, [this] { return interruptedLocked(); })) {
            lock.unlock();
            stream.Flush();
            return false;
        }
    }
}

// The debug log belongs to the main thread: the line is handed to it, once per outage.
void SoundWorker::failed(const std::string& line) {
    if (told_) {
        return;
    }
    told_ = true;
    {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }
    const std::uint64_t one = 1;
    // A failed wake (no counter, or one that is full) only delays the line to the next play.
    if (lineEvent_ >= 0) {
        (void)!::write(lineEvent_, &one, sizeof one);
    }
}

namespace {

// Plays a WAV file through the sound worker. The file is read once, when the sound is opened;
// one that cannot be played says so in the debug log on its first play.
class WorkerPlayer : public Sound::Player {
public:
    explicit WorkerPlayer(const std::string& path) : path_(path) { load(); }

    void Play() override {
        if (!clip_) {
            tellUnplayable();
            return;
        }
        if (SoundWorker* worker = SoundWorker::Instance()) {
            worker->Play(clip_);
        }
    }

    void Stop() override {
        if (SoundWorker* worker = SoundWorker::Existing(); worker && clip_) {
            worker->Stop(clip_.get());
        }
    }

private:
    void load() {
        QFile file(QString::fromStdString(path_));
        if (!file.open(QIODevice::ReadOnly)) {
            why_ = file.errorString().toStdString();
            return;
        }
        const QByteArray bytes = file.readAll();
        std::optional<PcmClip> clip =
            ParseWav({bytes.constData(), static_cast<std::size_t>(bytes.size())}, why_);
        if (clip) {
            clip->name = QFileInfo(file).fileName().toStdString();
            clip_ = std::make_shared<const PcmClip>(std::move(*clip));
        }
    }

    void tellUnplayable() {
        if (!told_) {
            told_ = true;
            DebugLog(String("No sound: " + path_ + " cannot be played: " + why_));
        }
    }

    std::string path_;
    std::shared_ptr<const PcmClip> clip_; // shared with the worker, never changed
    std::string why_;
    bool told_ = false;
};

} // namespace

std::unique_ptr<Sound::Player> Sound::Player::Create(const std::string& path) {
    return std::make_unique<WorkerPlayer>(path);
}

} // namespace fw
