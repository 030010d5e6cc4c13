#include "framework/gui/sound_player_p.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace fw {

namespace {

// Qt's sound effect, where its audio output keeps playing (not on Linux: see the sound worker).
// It is made as soon as an audio output exists (when the sound is opened, else at a later play),
// so a machine without one never makes one. The effect is a child of the application object: a
// sound kept until the process ends (the horn) must not outlive the audio system it plays
// through, so the application deletes it when it goes, and the pointer notices.
class EffectPlayer : public Sound::Player {
public:
    explicit EffectPlayer(const std::string& path)
        : source_(QUrl::fromLocalFile(QString::fromStdString(path))) {
        ensureEffect(); // decoding starts now, so a play shortly after does not wait for it
    }

    ~EffectPlayer() override { delete effect_.data(); }

    void Play() override {
        if (!ensureEffect()) {
            return;
        }
        if (effect_->isPlaying()) {
            effect_->stop(); // so the play starts again from the beginning
        }
        effect_->play();
    }

    void Stop() override {
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

} // namespace

std::unique_ptr<Sound::Player> Sound::Player::Create(const std::string& path) {
    return std::make_unique<EffectPlayer>(path);
}

} // namespace fw
