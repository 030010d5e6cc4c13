#include "framework/gui/sound.h"

#include "framework/core/folder_item.h"
#include "framework/gui/sound_player_p.h"

#include <sys/stat.h>

namespace fw {

namespace {
SoundPlayRecorder* activeRecorder = nullptr;

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}
} // namespace

Sound::Sound(std::string path) : path_(std::move(path)), player_(Player::Create(path_)) {}

Sound::~Sound() = default;

void Sound::Play() {
    ++playCount_;
    if (activeRecorder) {
        activeRecorder->plays_.push_back(path_);
        return;
    }
    player_->Play();
}

void Sound::Stop() {
    ++stopCount_;
    if (activeRecorder) {
        activeRecorder->stops_.push_back(path_);
        return;
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
