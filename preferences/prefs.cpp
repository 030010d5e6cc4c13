#include "preferences/prefs.h"

#include "framework/exceptions.h"
#include "framework/json.h"
#include "framework/object.h"
#include "framework/text_encoding.h"
#include "framework/text_input_stream.h"
#include "framework/text_output_stream.h"

namespace tallybell {

namespace {

const fw::Text kFileExtension = ".prefs";

// The settings folder, created on first use: <Application Support>/<appName>.
std::shared_ptr<fw::FolderItem> settingsFolder(const fw::Text& appName) {
    const auto support = fw::SpecialFolder::ApplicationSupport();
    auto folder = fw::Deref(support).Child(appName, true);
    if (!fw::Deref(folder).Exists()) {
        folder->CreateAsFolder();
    }
    return folder;
}

fw::Text readWholeFile(const std::shared_ptr<fw::FolderItem>& file) {
    const auto stream = fw::TextInputStream::Open(file, fw::TextEncoding::UTF8());
    fw::Text text = stream->ReadAll();
    stream->Close();
    return text;
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
    const auto folder = settingsFolder(mAppName);
    // Known before the file is tested, so that Save can write a file that is not there yet.
    mPreferencesFile = folder->Child(mAppName + kFileExtension, true);
    if (!fw::Deref(mPreferencesFile).Exists()) {
        return false;
    }
    const fw::Text text = readWholeFile(mPreferencesFile);
    std::shared_ptr<fw::Dictionary> loaded;
    try {
        loaded = fw::ParseJSON(text).ToDictionary();
    } catch (const fw::InvalidJSONException&) {
        return false;
    }
    // Valid JSON that is not an object holds no settings: the caller falls back to its defaults
    // just as for unreadable text, and the file stays as it is.
    if (!loaded) {
        return false;
    }
    mPreferences = std::move(loaded);
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
        // The stream writes beside the file and renames over it on Close, so the old file stays
        // whole until the new one is complete, and true is answered only after that.
        const auto stream =
            fw::TextOutputStream::Create(mPreferencesFile, fw::TextEncoding::UTF8());
        stream->Write(json);
        stream->Close();
    } catch (const fw::IOException&) {
        return false;
    }
    return true;
}

void Prefs::Set(const fw::Text& key, fw::Auto value) {
    if (!mPreferences) {
        return;
    }
    mPreferences->Value(fw::Auto(key), std::move(value));
}

} // namespace tallybell
