#pragma once

#include "framework/core/text.h"

#include <memory>

namespace tallybell {

class Prefs;

namespace ModernPreferences {

/// One setting of the system: its key, and the text that stands in when no file gives it.
struct Setting {
    const char* key;
    const char* standIn;
};
/// The system's settings, in the order start-up assigns their stand-ins.
inline constexpr Setting kSettings[] = {
    {"alarmName", ""},
    {"port", "40001"},
    {"mCastIP", "239.1.2.4"},
};

/// The one preferences store of the process: Nil until Initialise.
extern std::shared_ptr<Prefs> Preferences;

/// Makes a new, empty store for appName the process's store, releasing the earlier one. It does
/// not load.
void Initialise(const fw::Text& appName);

} // namespace ModernPreferences

} // namespace tallybell
