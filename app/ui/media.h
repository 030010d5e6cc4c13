#pragma once

#include "framework/gui/picture.h"
#include "framework/gui/sound.h"

#include <memory>

namespace tallybell {

namespace _x_SpriteSheet {
/// The alarm animation's sprite sheet (100 frames of 256 x 256, 10 to a row), loaded on the
/// first call that finds it and kept for the rest of the process; Nil while it cannot be loaded.
std::shared_ptr<fw::Picture> SpriteSheet();
} // namespace _x_SpriteSheet

namespace _x_AirHorn {
/// The horn, "Horn.wav" in the Resources folder, looked for on the first call only and kept for
/// the rest of the process; Nil when that call did not find it.
std::shared_ptr<fw::Sound> AirHorn();
} // namespace _x_AirHorn

using _x_AirHorn::AirHorn;
using _x_SpriteSheet::SpriteSheet;

} // namespace tallybell
