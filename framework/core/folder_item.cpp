#include "framework/core/folder_item.h"

#include "framework/core/scoped_fd_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

constexpr std::size_t kCopyChunk = std::size_t{64} * 1024;
// The smallest run of zeros left as a hole: a file system block.
constexpr std::size_t kHoleBlock = 4096;

bool allZero(const char* bytes, std::size_t count) {
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == 0; });
}

// 0, or the error.
int writeAll(int to, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(to, bytes, count);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? errno : EIO;
        }
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
    return 0;
}

// One chunk: each run of blocks with data written, each block of zeros skipped as a hole.
int putChunk(int to, const char* bytes, std::size_t count) {
    std::size_t at = 0;
    while (at < count) {
        const std::size_t runStart = at;
        const bool zeros = allZero(bytes + at, std::min(kHoleBlock, count - at));
        while (at < count && allZero(bytes + at, std::min(kHoleBlock, count - at)) == zeros) {
            at += std::min(kHoleBlock, count - at);
        }
        const auto run = static_cast<off_t>(at - runStart);
        if (zeros ? ::lseek(to, run, SEEK_CUR) < 0
                  : writeAll(to, bytes + runStart, at - runStart) != 0) {
            return errno != 0 ? errno : EIO;
        }
    }
    return 0;
}

// The bytes of from written to to a chunk at a time, holes kept, so a sparse file's copy takes
// no more room than the file. 0, or the error.
int streamBytes(int from, int to) {
    std::vector<char> chunk(kCopyChunk);
    off_t length = 0;
    for (;;) {
        const ssize_t got = ::read(from, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        errno = 0;
        if (const int error = putChunk(to, chunk.data(), static_cast<std::size_t>(got))) {
            return error;
        }
        length += got;
    }
    // A trailing hole has no bytes written after it: the length says where the file ends.
    if (::ftruncate(to, length) != 0 || ::fsync(to) != 0) {
        return errno;
    }
    return 0;
}

// A new file at destination with the bytes of source; a failed copy leaves nothing there.
void streamCopy(const std::string& source, const std::string& destination) {
    const ScopedFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (from.get() < 0) {
        raiseIOError("Cannot copy " + source, errno);
    }
    const ScopedFd to(
        ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (to.get() < 0) {
        raiseIOError("Cannot copy " + source + " to " + destination, errno);
    }
    const int error = streamBytes(from.get(), to.get());
    if (error != 0) {
        (void)::unlink(destination.c_str());
        raiseIOError("Cannot copy " + source + " to " + destination, error);
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

bool FolderItem::IsAlias() const {
    struct stat status {};
    return ::lstat(path_.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

void FolderItem::CopyFileTo(const FolderItem& destination) const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) {
        raiseIOError("Cannot copy " + path_, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        raiseIOError("Cannot copy " + path_, S_ISDIR(status.st_mode) ? EISDIR : ENODEV);
    }
    // A second name for the same bytes: instant, in no memory and no room at all, and possible
    // even for a file this user may not read. Files of ours are replaced by renaming a new one
    // over them, never rewritten in place, so the bytes under the new name stay as they are.
    if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, destination.path_.c_str(), AT_SYMLINK_FOLLOW) ==
        0) {
        return;
    }
    const int error = errno;
    if (error == EEXIST) {
        raiseIOError("Cannot copy " + path_ + " to " + destination.path_, error);
    }
    // No hard links here (another file system, or one without them): the bytes themselves.
    streamCopy(path_, destination.path_);
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
