#include "app/ui/media.h"

#include "framework/core/debug_log.h"
#include "framework/core/folder_item.h"

namespace tallybell {

namespace {
constexpr const char* spriteSheetPicture = "SpriteSheet";
constexpr const char* hornFile = "Horn.wav";
} // namespace

namespace _x_SpriteSheet {

std::shared_ptr<fw::Picture> SpriteSheet() {
    // Nil until a load succeeds, then the same picture for good; while Nil, every call tries
    // again, so a failed load does not leave the window without its animation for ever.
    static std::shared_ptr<fw::Picture> pic;
    if (!pic) {
        pic = fw::Picture::_OpenFromApp(spriteSheetPicture);
    }
    return pic;
}

} // namespace _x_SpriteSheet

namespace _x_AirHorn {

// Written by AirHorn only. The horn is looked for once: a missing horn stays missing until the
// next start rather than costing a folder lookup on every alarm.
bool loaded = false;
std::shared_ptr<fw::Sound> permaSound;

namespace {
// Said once, as the horn is looked for once: an alarm without its horn is otherwise silent.
void tellMissing(const std::shared_ptr<fw::FolderItem>& horn) {
    fw::DebugLog(horn ? fw::String("Horn file missing: " + horn->NativePath())
                      : fw::String(std::string("Horn file missing: ") + hornFile +
                                   " (no Resources folder beside the application)"));
}
} // namespace

std::shared_ptr<fw::Sound> AirHorn() {
    if (!loaded) {
        loaded = true; // first, so that nothing below, even an exception, brings a second look
        const std::shared_ptr<fw::FolderItem> resources = fw::_GetApplicationBundleResources();
        std::shared_ptr<fw::FolderItem> horn;
        if (resources) {
            horn = resources->Child(fw::String(hornFile), true);
            permaSound = fw::Deref(horn).OpenAsSound();
        }
        if (!permaSound) {
            tellMissing(horn);
        }
    }
    return permaSound;
}

} // namespace _x_AirHorn

} // namespace tallybell
