#pragma once

#include "framework/core/auto.h"
#include "framework/core/dictionary.h"
#include "framework/core/folder_item.h"
#include "framework/core/text.h"
#include "preferences/modern_preferences.h"

#include <memory>

namespace tallybell {

/// The application's settings by name, kept as one JSON object in
/// <Application Support>/<app name>/<app name>.prefs.
class Prefs {
public:
    /// A store without a dictionary: reads give -1 and assignments do nothing.
    Prefs() = default;
    explicit Prefs(const fw::Text& appName) { Constructor(appName); }
    virtual ~Prefs() = default;

    virtual void Constructor(const fw::Text& appName);
    /// The value under key; a missing key is added with the empty text through the process's
    /// store and the empty text returned.
    virtual fw::Auto Get(const fw::Text& key);
    /// Finds the file (creating its folder) and reads it; true when a settings object was loaded.
    /// What cannot be read (no folder, not a regular file, unreadable, too large) gives false
    /// as text that is not JSON does; a system setting without text takes its stand-in.
    virtual bool Load();
    virtual fw::Auto Operator_Lookup(const fw::Text& key);
    virtual void Operator_Lookup(const fw::Text& key, fw::Auto value);
    /// Replaces the file with every setting; true only once the file is complete on disk. The
    /// first save over a file that Load could not use keeps that file's bytes beside it first.
    virtual bool Save();
    virtual void Set(const fw::Text& key, fw::Auto value);

    fw::Text mAppName;
    std::shared_ptr<fw::Dictionary> mPreferences;
    std::shared_ptr<fw::FolderItem> mPreferencesFile;

private:
    void keepUnusedFile();

    // Where the bytes of a file that Load could not use go before a save replaces it; Nil when
    // there is nothing to keep.
    std::shared_ptr<fw::FolderItem> mUnusedFileCopy;
};

} // namespace tallybell
