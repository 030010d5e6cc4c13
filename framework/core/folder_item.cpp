#include "framework/core/folder_item.h"

#include "framework/core/text_output_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

QString qPath(const std::string& path) {
    return QString::fromStdString(path);
}

bool isChildName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + std::string(name);
    }
    return folder + "/" + std::string(name);
}

// A symbolic link at the child's place stands for the item it points to.
std::string resolveLink(const std::string& path) {
    const QFileInfo info(qPath(path));
    if (!info.isSymLink()) {
        return path;
    }
    const QString target = info.symLinkTarget();
    return target.isEmpty() ? path : target.toStdString();
}

[[noreturn]] void raiseIOError(const std::string& what, int error) {
    throw IOException(what + ": " + std::strerror(error));
}

// The bytes, copied; false when the source cannot be read, which a hard link may still keep.
bool copyBytes(const std::string& source, const std::string& destination) {
    QFile from(qPath(source));
    if (!from.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = from.readAll();
    if (from.error() != QFileDevice::NoError) {
        return false;
    }
    // QSaveFile writes through a link; the link itself is what gets replaced here.
    if (QFileInfo(qPath(destination)).isSymLink() && ::unlink(destination.c_str()) != 0) {
        raiseIOError("Cannot replace " + destination, errno);
    }
    // Written as every file of ours is: whole, or not at all.
    const auto to = TextOutputStream::Create(std::make_shared<FolderItem>(destination), nullptr);
    to->Write(String::FromBytes(bytes.toStdString(), nullptr));
    to->Close();
    return true;
}

// A second name for the same bytes, for a file this user may not read (its own, mode 000). A
// temporary name first, so the destination changes in one step.
void linkInPlace(const std::string& source, const std::string& destination) {
    const std::string temporary = destination + ".new";
    (void)::unlink(temporary.c_str()); // a leftover of an interrupted copy
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        raiseIOError("Cannot copy " + source, errno);
    }
    const int renamed = ::rename(temporary.c_str(), destination.c_str()) == 0 ? 0 : errno;
    // rename does nothing when both already name the same file; the temporary name goes anyway.
    (void)::unlink(temporary.c_str());
    if (renamed != 0) {
        raiseIOError("Cannot copy " + source + " to " + destination, renamed);
    }
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string applicationSupportPath() {
#ifdef Q_OS_MACOS
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/Library/Application Support";
#else
    // XDG base directory rules: a relative XDG_CONFIG_HOME is ignored.
    std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') {
        return config;
    }
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/.config";
#endif
}

std::string executableFolder() {
    if (QCoreApplication::instance()) {
        return QCoreApplication::applicationDirPath().toStdString();
    }
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return self.exists() ? QFileInfo(self.symLinkTarget()).absolutePath().toStdString()
                         : std::string();
}

} // namespace

FolderItem::FolderItem(std::string nativePath) : path_(std::move(nativePath)) {}

std::shared_ptr<FolderItem> FolderItem::Child(const Text& name, bool followAlias) const {
    if (!isChildName(name.Utf8())) {
        return nullptr;
    }
    const std::string path = joinPath(path_, name.Utf8());
    return std::make_shared<FolderItem>(followAlias ? resolveLink(path) : path);
}

std::shared_ptr<FolderItem> FolderItem::Child(const String& name, bool followAlias) const {
    return Child(Text(name), followAlias);
}

bool FolderItem::Exists() const {
    struct stat status {};
    return ::stat(path_.c_str(), &status) == 0;
}

bool FolderItem::IsFolder() const {
    struct stat status {};
    return ::stat(path_.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void FolderItem::CreateAsFolder() const {
    if (::mkdir(path_.c_str(), 0777) == 0) {
        return;
    }
    const int error = errno;
    if (error == EEXIST && IsFolder()) {
        return; // already what was asked for
    }
    throw IOException("Cannot create the folder " + path_ + ": " + std::strerror(error));
}

void FolderItem::CopyFileTo(const FolderItem& destination) const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) {
        raiseIOError("Cannot copy " + path_, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        raiseIOError("Cannot copy " + path_, S_ISDIR(status.st_mode) ? EISDIR : ENODEV);
    }
    // The destination is replaced, never followed: a link there must not lead the copy elsewhere.
    if (!copyBytes(path_, destination.path_)) {
        linkInPlace(path_, destination.path_);
    }
}

std::string FolderItem::Name() const {
    std::string_view path = path_;
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace SpecialFolder {

std::shared_ptr<FolderItem> ApplicationSupport() {
    const std::string path = applicationSupportPath();
    if (path.empty()) {
        return nullptr;
    }
    // A fresh account may lack the folder itself, and callers create only their own folder inside
    // it, so it is made here, private to the user as the XDG base directory rules ask. This
    // is best effort: a failure shows up when the caller creates its folder.
    if (!QFileInfo::exists(qPath(path)) && QDir().mkpath(qPath(path))) {
        (void)::chmod(path.c_str(), 0700);
    }
    return std::make_shared<FolderItem>(path);
}

} // namespace SpecialFolder

namespace {
ResourcesFolderOverride* activeResourcesOverride = nullptr;

std::shared_ptr<FolderItem> folderIfExists(const QString& path) {
    if (!QFileInfo(path).isDir()) {
        return nullptr;
    }
    return std::make_shared<FolderItem>(path.toStdString());
}
} // namespace

ResourcesFolderOverride::ResourcesFolderOverride(std::string folder)
    : folder_(std::move(folder)), previous_(activeResourcesOverride) {
    activeResourcesOverride = this;
}

ResourcesFolderOverride::~ResourcesFolderOverride() {
    activeResourcesOverride = previous_;
}

std::shared_ptr<FolderItem> _GetApplicationBundleResources() {
    if (activeResourcesOverride) {
        return folderIfExists(qPath(activeResourcesOverride->folder_));
    }
    const std::string folder = executableFolder();
    if (folder.empty()) {
        return nullptr;
    }
    for (const char* relative : {"/Resources", "/../share/tallybell/Resources"}) {
        if (auto found = folderIfExists(QDir::cleanPath(qPath(folder + relative)))) {
            return found;
        }
    }
    return nullptr;
}

} // namespace fw
