#include "preferences/prefs.h"

#include "framework/core/debug_log.h"
#include "framework/core/exceptions.h"
#include "framework/core/json.h"
#include "framework/core/object.h"
#include "framework/core/text_encoding.h"
#include "framework/core/text_input_stream.h"
#include "framework/core/text_output_stream.h"
#include "framework/core/udp_socket.h"
#include "framework/core/values.h"

#include <optional>
#include <string>

namespace tallybell {

namespace {

const fw::Text kFileExtension = ".prefs";
const fw::Text kUnusedCopyExtension = ".damaged";
// Copies of files that could not be used are numbered on (.damaged, .damaged.2, ...), never
// replaced. Past this many, something keeps writing bad files: the save stops rather than delete
// one.
constexpr int kMostUnusedCopies = 100;
// Three short settings make a file of some hundred bytes. Anything past this is no settings file
// of ours, and reading it whole would hold up start-up and memory for nothing.
constexpr std::size_t kLargestFile = std::size_t{1024} * 1024;
constexpr std::int64_t kLowestPort = 1;
constexpr std::int64_t kHighestPort = 65535;

void reportUnused(const std::string& reason) {
    fw::DebugLog("Preferences not used: " + reason);
}

// The settings folder, created on first use: <Application Support>/<appName>. Nil when there is
// none and none can be made (no home folder, the config folder a file or read-only).
std::shared_ptr<fw::FolderItem> settingsFolder(const fw::Text& appName) {
    const auto support = fw::SpecialFolder::ApplicationSupport();
    if (!support) {
        reportUnused("no folder for them (neither XDG_CONFIG_HOME nor HOME is set)");
        return nullptr;
    }
    auto folder = support->Child(appName, true);
    try {
        if (!fw::Deref(folder).Exists()) {
            folder->CreateAsFolder();
        }
    } catch (const fw::IOException& error) {
        reportUnused(error.Message());
        return nullptr;
    }
    if (!folder->IsFolder()) {
        reportUnused(folder->NativePath() + " is not a folder");
        return nullptr;
    }
    return folder;
}

// The file's text, or nothing (and why) when it cannot be read or is larger than any settings
// file.
std::optional<fw::Text> readSettingsText(const std::shared_ptr<fw::FolderItem>& file,
                                         std::string& why) {
    fw::Text text;
    try {
        const auto stream = fw::TextInputStream::Open(file, fw::TextEncoding::UTF8());
        text = stream->Read(kLargestFile + 1);
        stream->Close();
    } catch (const fw::IOException& error) {
        why = error.Message();
        return std::nullopt;
    }
    if (text.Utf8().size() > kLargestFile) {
        why = "larger than any preferences file (over " + std::to_string(kLargestFile) + " bytes)";
        return std::nullopt;
    }
    return text;
}

// The settings object of the file; Nil (and why) for anything else: unreadable, not JSON, or
// valid JSON that is not an object (it holds no settings).
std::shared_ptr<fw::Dictionary> readSettings(const std::shared_ptr<fw::FolderItem>& file,
                                             std::string& why) {
    const std::optional<fw::Text> text = readSettingsText(file, why);
    if (!text) {
        return nullptr;
    }
    try {
        auto settings = fw::ParseJSON(*text).ToDictionary();
        if (!settings) {
            why = "no settings object in it";
        }
        return settings;
    } catch (const fw::InvalidJSONException&) {
        why = "not JSON";
        return nullptr;
    }
}

std::optional<fw::String> textOf(const fw::Auto& value) {
    try {
        return value.ToString();
    } catch (const fw::TypeMismatchException&) {
        return std::nullopt;
    }
}

// Whether the system can use a loaded value: the port as start-up reads it (a number truncated
// toward zero), the group as the socket joins it.
bool usable(ModernPreferences::Use use, const fw::Auto& value) {
    const std::optional<fw::String> text = textOf(value);
    if (!text) {
        return false;
    }
    switch (use) {
    case ModernPreferences::Use::Text:
        return true;
    case ModernPreferences::Use::Port: {
        const auto port = fw::SaturateCast<std::int64_t>(fw::Val(*text));
        return port >= kLowestPort && port <= kHighestPort;
    }
    case ModernPreferences::Use::Group:
        return fw::IsMulticastGroup(*text);
    }
    return false;
}

// A system setting whose value cannot be used (no text, a port or group that could not be
// bound or joined, missing where it is needed) takes its stand-in, as all settings do when the
// whole file fails; each one says so. True when one did.
bool standInForUnusableValues(fw::Dictionary& settings, const std::string& path) {
    bool replaced = false;
    for (const auto& setting : ModernPreferences::kSettings) {
        const fw::Auto key(fw::Text(setting.key));
        const bool present = settings.HasKey(key);
        if (present ? usable(setting.use, settings.Value(key))
                    : setting.use == ModernPreferences::Use::Text) {
            continue;
        }
        const std::string given =
            present ? fw::GenerateJSON(settings.Value(key)).Utf8() : std::string("missing");
        const fw::Text standIn(setting.standIn);
        settings.Value(key, fw::Auto(standIn));
        std::string line = "Preferences value not used in " + path + ": ";
        line += std::string(setting.key) + " " + given;
        line += ", taking " + fw::GenerateJSON(fw::Auto(standIn)).Utf8();
        fw::DebugLog(line);
        replaced = true;
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
    std::string why;
    const std::shared_ptr<fw::Dictionary> loaded = readSettings(mPreferencesFile, why);
    if (!loaded) {
        // Named as the user knows it, not as any link there resolves.
        reportUnused(folder->NativePath() + "/" + (mAppName + kFileExtension).Utf8() + ": " + why);
    }
    // A file that is there but not (wholly) used stays as it is; its bytes go beside it before
    // a save replaces it, so nothing the user wrote is lost.
    if (!loaded || standInForUnusableValues(*loaded, mPreferencesFile->NativePath())) {
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
    } catch (const fw::IOException& error) {
        fw::DebugLog("Preferences not saved: " + error.Message());
        return false;
    }
    mUnusedFileCopy = nullptr;
    return true;
}

// A copy that cannot be made stops the save: the file then stays as it is. An earlier copy is
// never replaced; this one takes the first free name.
void Prefs::keepUnusedFile() {
    if (!mUnusedFileCopy || !mPreferencesFile->Exists() || mPreferencesFile->IsFolder()) {
        return; // nothing to keep; a folder is never replaced anyway
    }
    for (int number = 1; number <= kMostUnusedCopies; ++number) {
        const fw::FolderItem copy(mUnusedFileCopy->NativePath() +
                                  (number == 1 ? std::string() : "." + std::to_string(number)));
        if (copy.Exists() || copy.IsAlias()) {
            continue;
        }
        mPreferencesFile->CopyFileTo(copy);
        fw::DebugLog(fw::String("Kept the preferences file that could not be used as ") +
                     copy.NativePath());
        return;
    }
    throw fw::IOException("Every name for a copy of " + mPreferencesFile->NativePath() +
                          " is taken");
}

void Prefs::Set(const fw::Text& key, fw::Auto value) {
    if (!mPreferences) {
        return;
    }
    mPreferences->Value(fw::Auto(key), std::move(value));
}

} // namespace tallybell
