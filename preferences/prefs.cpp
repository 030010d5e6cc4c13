#include "preferences/prefs.h"

#include "framework/core/debug_log.h"
#include "framework/core/exceptions.h"
#include "framework/core/json.h"
#include "framework/core/object.h"
#include "framework/core/text_encoding.h"
#include "framework/core/text_input_stream.h"
#include "framework/core/text_output_stream.h"

#include <optional>

namespace tallybell {

namespace {

const fw::Text kFileExtension = ".prefs";
const fw::Text kUnusedCopyExtension = ".damaged";
// Three short settings make a file of some hundred bytes. Anything past this is no settings file
// of ours, and reading it whole would hold up start-up and memory for nothing.
constexpr std::size_t kLargestFile = std::size_t{1024} * 1024;

// The settings folder, created on first use: <Application Support>/<appName>. Nil when there is
// none and none can be made (no home folder, the config folder a file or read-only).
std::shared_ptr<fw::FolderItem> settingsFolder(const fw::Text& appName) {
    const auto support = fw::SpecialFolder::ApplicationSupport();
    if (!support) {
        return nullptr;
    }
    auto folder = support->Child(appName, true);
    try {
        if (!fw::Deref(folder).Exists()) {
            folder->CreateAsFolder();
        }
    } catch (const fw::IOException&) {
        return nullptr;
    }
    return folder;
}

// The file's text, or nothing when it cannot be read or is larger than any settings file.
std::optional<fw::Text> readSettingsText(const std::shared_ptr<fw::FolderItem>& file) {
    fw::Text text;
    try {
        const auto stream = fw::TextInputStream::Open(file, fw::TextEncoding::UTF8());
        text = stream->Read(kLargestFile + 1);
        stream->Close();
    } catch (const fw::IOException&) {
        return std::nullopt;
    }
    if (text.Utf8().size() > kLargestFile) {
        return std::nullopt;
    }
    return text;
}

// The settings object of the file; Nil for anything else: unreadable, not JSON, or valid JSON
// that is not an object (it holds no settings).
std::shared_ptr<fw::Dictionary> readSettings(const std::shared_ptr<fw::FolderItem>& file) {
    const std::optional<fw::Text> text = readSettingsText(file);
    if (!text) {
        return nullptr;
    }
    try {
        return fw::ParseJSON(*text).ToDictionary();
    } catch (const fw::InvalidJSONException&) {
        return nullptr;
    }
}

bool hasText(const fw::Auto& value) {
    try {
        (void)value.ToText();
        return true;
    } catch (const fw::TypeMismatchException&) {
        return false;
    }
}

// A system setting whose value has no text (an object, an array) cannot be read by anyone; it
// takes its stand-in, as all settings do when the whole file fails. True when one did.
bool standInForValuesWithoutText(fw::Dictionary& settings) {
    bool replaced = false;
    for (const auto& setting : ModernPreferences::kSettings) {
        const fw::Auto key(fw::Text(setting.key));
        if (settings.HasKey(key) && !hasText(settings.Value(key))) {
            settings.Value(key, fw::Auto(fw::Text(setting.standIn)));
            replaced = true;
        }
    }
    return replaced;
}

} // namespace

void Prefs::Constructor(const fw::Text& appName) {
    mPreferences = std::make_shared<fw::Dictionary>();
    mAppName = appName;
}

fw::Auto Prefs::Get(const fw::Text& key) {
    if (!mPreferences) {
        return fw::Auto(-1);
    }
    const fw::Auto dictionaryKey(key);
    if (mPreferences->HasKey(dictionaryKey)) {
        return mPreferences->Value(dictionaryKey);
    }
    // Added through the process's store, which in the application is this one.
    fw::Deref(ModernPreferences::Preferences).Set(key, fw::Auto(fw::Text()));
    return fw::Auto(fw::Text());
}

bool Prefs::Load() {
    mUnusedFileCopy = nullptr;
    const auto folder = settingsFolder(mAppName);
    if (!folder) {
        return false; // nowhere to keep settings: the defaults serve, and Save has no file
    }
    // Known before the file is tested, so that Save can write a file that is not there yet.
    mPreferencesFile = folder->Child(mAppName + kFileExtension, true);
    if (!fw::Deref(mPreferencesFile).Exists()) {
        return false;
    }
    const std::shared_ptr<fw::Dictionary> loaded = readSettings(mPreferencesFile);
    // A file that is there but not (wholly) used stays as it is; its bytes go beside it before
    // a save replaces it, so nothing the user wrote is lost.
    if (!loaded || standInForValuesWithoutText(*loaded)) {
        mUnusedFileCopy = folder->Child(mAppName + kFileExtension + kUnusedCopyExtension, false);
    }
    if (!loaded) {
        return false;
    }
    mPreferences = loaded;
    return true;
}

fw::Auto Prefs::Operator_Lookup(const fw::Text& key) {
    return Get(key);
}

void Prefs::Operator_Lookup(const fw::Text& key, fw::Auto value) {
    Set(key, std::move(value));
}

bool Prefs::Save() {
    // Without a loaded file there is nowhere to write; without a dictionary, nothing to write
    // ("null" would make a file that no Load accepts).
    if (!mPreferencesFile || !mPreferences) {
        return false;
    }
    const fw::Text json = fw::GenerateJSON(fw::Auto(mPreferences));
    try {
        keepUnusedFile();
        // The stream writes beside the file and renames over it on Close, so the old file stays
        // whole until the new one is complete, and true is answered only after that.
        const auto stream =
            fw::TextOutputStream::Create(mPreferencesFile, fw::TextEncoding::UTF8());
        stream->Write(json);
        stream->Close();
    } catch (const fw::IOException&) {
        return false;
    }
    mUnusedFileCopy = nullptr;
    return true;
}

// A copy that cannot be made stops the save: the file then stays as it is.
void Prefs::keepUnusedFile() {
    if (!mUnusedFileCopy || !mPreferencesFile->Exists() || mPreferencesFile->IsFolder()) {
        return; // nothing to keep; a folder is never replaced anyway
    }
    mPreferencesFile->CopyFileTo(*mUnusedFileCopy);
    fw::DebugLog(fw::String("Kept the preferences file that could not be used as ") +
                 mUnusedFileCopy->NativePath());
}

void Prefs::Set(const fw::Text& key, fw::Auto value) {
    if (!mPreferences) {
        return;
    }
    mPreferences->Value(fw::Auto(key), std::move(value));
}

} // namespace tallybell
