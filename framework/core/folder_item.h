#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/core/text.h"

#include <memory>
#include <string>

namespace fw {

class Sound;

/// A file or folder, by path; it need not exist.
class FolderItem : public Object {
public:
    explicit FolderItem(std::string nativePath);

    /// The item of that name in this folder, whether it exists or not; Nil for a name that
    /// cannot name a child (empty, ".", "..", or containing '/'). followAlias resolves a symbolic
    /// link at the child's place.
    std::shared_ptr<FolderItem> Child(const Text& name, bool followAlias = true) const;
    std::shared_ptr<FolderItem> Child(const String& name, bool followAlias = true) const;

    bool Exists() const;
    bool IsFolder() const;
    /// Creates this item as a folder (its parent must exist); raises IOException on failure.
    void CreateAsFolder() const;
    /// Whether this item is a symbolic link, wherever it leads.
    bool IsAlias() const;
    /// Copies this file's bytes to destination, which must not exist yet (not even as a link):
    /// nothing is ever replaced. In constant memory: a hard link where the file system allows
    /// (the same bytes under a second name, so this file must not be rewritten in place
    /// afterwards; files written through TextOutputStream are replaced, never rewritten), else
    /// the bytes streamed, holes kept. Raises IOException when this is not a regular file or the
    /// copy cannot be made; destination then holds nothing new.
    void CopyFileTo(const FolderItem& destination) const;
    /// Opens this file as a sound; Nil when it is not a file.
    std::shared_ptr<Sound> OpenAsSound() const;

    const std::string& NativePath() const { return path_; }
    std::string Name() const;

private:
    std::string path_;
};

namespace SpecialFolder {
/// The user's per-application settings folder: ~/Library/Application Support on macOS;
/// elsewhere $XDG_CONFIG_HOME, or ~/.config. Nil when neither can be found.
std::shared_ptr<FolderItem> ApplicationSupport();
} // namespace SpecialFolder

/// The application's Resources folder: Resources/ beside the executable, else
/// ../share/tallybell/Resources relative to it; Nil when neither exists.
std::shared_ptr<FolderItem> _GetApplicationBundleResources();

/// Test hook: while alive, the application's Resources folder is folder (Nil when that is not a
/// folder), so a test lays out its own without touching the one beside the executable.
class ResourcesFolderOverride {
public:
    explicit ResourcesFolderOverride(std::string folder);
    ~ResourcesFolderOverride();
    ResourcesFolderOverride(const ResourcesFolderOverride&) = delete;
    ResourcesFolderOverride& operator=(const ResourcesFolderOverride&) = delete;

private:
    friend std::shared_ptr<FolderItem> _GetApplicationBundleResources();
    std::string folder_;
    ResourcesFolderOverride* previous_;
};

} // namespace fw
