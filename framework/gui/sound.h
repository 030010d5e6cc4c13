#pragma once

#include "framework/core/object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fw {

/// A sound file (WAV) ready to play. Playing never waits on the sound server; without one it
/// plays nothing, fails nothing, and the debug log says why.
class Sound : public Object {
public:
    /// Framework use: FolderItem::OpenAsSound makes sounds.
    explicit Sound(std::string path);
    ~Sound() override;

    /// Plays the sound once from its start, cutting short a play still under way.
    void Play();
    void Stop();

    /// How many times Play and Stop were called (for tests and diagnostics).
    std::int64_t PlayCount() const { return playCount_; }
    std::int64_t StopCount() const { return stopCount_; }

    const std::string& Path() const { return path_; }

    /// Framework use: what plays the file on this platform.
    class Player;

private:
    std::string path_;
    std::int64_t playCount_ = 0;
    std::int64_t stopCount_ = 0;
    std::unique_ptr<Player> player_;
};

/// Test hook: while alive, every Play and Stop of any Sound is recorded here by its file path,
/// and nothing is played.
class SoundPlayRecorder {
public:
    SoundPlayRecorder();
    ~SoundPlayRecorder();
    SoundPlayRecorder(const SoundPlayRecorder&) = delete;
    SoundPlayRecorder& operator=(const SoundPlayRecorder&) = delete;

    /// The paths of the sounds played, in the order of the calls.
    const std::vector<std::string>& Plays() const { return plays_; }
    const std::vector<std::string>& Stops() const { return stops_; }

private:
    friend class Sound;
    std::vector<std::string> plays_;
    std::vector<std::string> stops_;
    SoundPlayRecorder* previous_;
};

} // namespace fw
