#pragma once

#include "framework/gui/sound.h"

#include <memory>
#include <string>

namespace fw {

/// What plays a Sound's file: the sound worker on Linux, Qt's sound effect elsewhere.
class Sound::Player {
public:
    virtual ~Player() = default;
    virtual void Play() = 0;
    virtual void Stop() = 0;

    /// The platform's player for the file at path. Main thread.
    static std::unique_ptr<Player> Create(const std::string& path);
};

} // namespace fw
