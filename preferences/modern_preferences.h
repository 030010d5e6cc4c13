#pragma once

#include "framework/text.h"

#include <memory>

namespace tallybell {

class Prefs;

namespace ModernPreferences {

/// The one preferences store of the process: Nil until Initialise.
extern std::shared_ptr<Prefs> Preferences;

/// Makes a new, empty store for appName the process's store, releasing the earlier one. It does
/// not load.
void Initialise(const fw::Text& appName);

} // namespace ModernPreferences

} // namespace tallybell
