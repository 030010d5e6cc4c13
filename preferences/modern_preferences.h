#pragma once

#include "framework/core/text.h"

#include <memory>

namespace tallybell {

class Prefs;

namespace ModernPreferences {

/// What a loaded value must be for the system to use it.
enum class Use {
    Text,  // any value with text; missing is fine (it reads as the empty text)
    Port,  // text or number that truncates to a port, 1 to 65535
    Group, // the dotted address of an IPv4 multicast group
};

/// One setting of the system: its key, the text that stands in when no file gives it, and what
/// a loaded value must be.
struct Setting {
    const char* key;
    const char* standIn;
    Use use;
};
/// The system's settings, in the order start-up assigns their stand-ins.
inline constexpr Setting kSettings[] = {
    {"alarmName", "", Use::Text},
    {"port", "40001", Use::Port},
    {"mCastIP", "239.1.2.4", Use::Group},
};

/// The one preferences store of the process: Nil until Initialise.
extern std::shared_ptr<Prefs> Preferences;

/// Makes a new, empty store for appName the process's store, releasing the earlier one. It does
/// not load.
void Initialise(const fw::Text& appName);

} // namespace ModernPreferences

} // namespace tallybell
