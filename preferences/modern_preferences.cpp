#include "preferences/modern_preferences.h"

#include "preferences/prefs.h"

namespace tallybell::ModernPreferences {

std::shared_ptr<Prefs> Preferences;

void Initialise(const fw::Text& appName) {
    Preferences = std::make_shared<Prefs>(appName);
}

} // namespace tallybell::ModernPreferences
