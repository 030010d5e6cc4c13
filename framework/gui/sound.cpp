#include "framework/gui/sound.h"

#include "framework/core/folder_item.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

#include <sys/stat.h>

namespace fw {

namespace {
SoundPlayRecorder* activeRecorder = nullptr;

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}
} // namespace

// The Qt effect behind a Sound. It is made as soon as an audio output exists (when the sound is
// opened, else at a later play), so a machine without one never makes one. The effect
// is a child of the application object: a sound kept until the process ends (the horn) must not
// outlive the audio system it plays through, so the application deletes it when it goes, and the
// pointer notices.
class Sound::Player {
public:
    explicit Player(const std::string& path)
        : source_(QUrl::fromLocalFile(QString::fromStdString(path))) {}

    ~Player() { delete effect_.data(); }

    // Starts decoding the file now, so that a play shortly after does not wait for it.
    void Preload() { ensureEffect(); }

    void Play() {
        if (!ensureEffect()) {
            return;
        }
        if (effect_->isPlaying()) {
            effect_->stop(); // so the play starts again from the beginning
        }
        effect_->play();
    }

    void Stop() {
        if (effect_) {
            effect_->stop();
        }
    }

private:
    bool ensureEffect() {
        if (effect_) {
            return true;
        }
        if (!QCoreApplication::instance() || QMediaDevices::defaultAudioOutput().isNull()) {
            return false;
        }
        effect_ = new QSoundEffect(QCoreApplication::instance());
        effect_->setLoopCount(1);
        effect_->setSource(source_);
        return true;
    }

    QUrl source_;
    QPointer<QSoundEffect> effect_;
};

Sound::Sound(std::string path) : path_(std::move(path)), player_(std::make_unique<Player>(path_)) {
    player_->Preload();
}

Sound::~Sound() = default;

void Sound::Play() {
    ++playCount_;
    if (activeRecorder) {
        activeRecorder->plays_.push_back(path_);
    }
    player_->Play();
}

void Sound::Stop() {
    ++stopCount_;
    if (activeRecorder) {
        activeRecorder->stops_.push_back(path_);
    }
    player_->Stop();
}

SoundPlayRecorder::SoundPlayRecorder() : previous_(activeRecorder) {
    activeRecorder = this;
}

SoundPlayRecorder::~SoundPlayRecorder() {
    activeRecorder = previous_;
}

std::shared_ptr<Sound> FolderItem::OpenAsSound() const {
    if (!isRegularFile(NativePath())) {
        return nullptr;
    }
    return std::make_shared<Sound>(NativePath());
}

} // namespace fw
