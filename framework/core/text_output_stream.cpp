#include "framework/core/text_output_stream.h"

#include "framework/core/folder_item.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {
DiskSyncFailure* activeSyncFailure = nullptr;
} // namespace

int syncToDisk(int fd) {
    if (activeSyncFailure) {
        errno = activeSyncFailure->error_;
        return -1;
    }
    return ::fsync(fd);
}

DiskSyncFailure::DiskSyncFailure(int error) : error_(error), previous_(activeSyncFailure) {
    activeSyncFailure = this;
}

DiskSyncFailure::~DiskSyncFailure() {
    activeSyncFailure = previous_;
}

namespace {

IOException ioError(const std::string& what, const QSaveFile& file) {
    return IOException(what + " " + file.fileName().toStdString() + ": " +
                       file.errorString().toStdString());
}

// A rename replaces whatever has the name: a FIFO, a device node (/dev/zero behind a link), even
// with the right privileges a system file's device. Only a regular file, or nothing, is replaced.
void refuseToReplaceNonFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw IOException("Cannot create " + path + ": " +
                          std::strerror(S_ISDIR(status.st_mode) ? EISDIR : ENODEV));
    }
}

} // namespace

TextOutputStream::TextOutputStream(std::unique_ptr<QSaveFile> file) : file_(std::move(file)) {}

TextOutputStream::~TextOutputStream() {
    // Releasing an open stream completes the file, as closing does; a destructor cannot report
    // the failure, and the target stays as it was.
    try {
        Close();
    } catch (const IOException&) {
    }
}

std::shared_ptr<TextOutputStream> TextOutputStream::Create(const std::shared_ptr<FolderItem>& file,
                                                           const TextEncoding* /*encoding*/) {
    // Text is held as UTF-8, and UTF-8 is the only encoding the framework writes.
    const std::string& path = Deref(file).NativePath();
    refuseToReplaceNonFile(path);
    auto saveFile = std::make_unique<QSaveFile>(QString::fromStdString(path));
    if (!saveFile->open(QIODevice::WriteOnly)) {
        throw ioError("Cannot create", *saveFile);
    }
    // The new file takes the old one's mode; one its owner could not read back is no file to keep.
    const QFileDevice::Permissions mode = saveFile->permissions();
    const QFileDevice::Permissions ownerMay = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if ((mode & ownerMay) != ownerMay && !saveFile->setPermissions(mode | ownerMay)) {
        throw ioError("Cannot create", *saveFile);
    }
    return std::shared_ptr<TextOutputStream>(new TextOutputStream(std::move(saveFile)));
}

void TextOutputStream::Write(const Text& text) {
    Write(String(text));
}

void TextOutputStream::Write(const String& text) {
    if (!file_) {
        throw IOException("The stream is closed");
    }
    const std::string& bytes = text.Bytes();
    const qint64 written = file_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size())) {
        const IOException error = ioError("Cannot write", *file_);
        // Nothing of a failed stream may ever replace the target, not even at release.
        file_->cancelWriting();
        throw error;
    }
}

void TextOutputStream::Close() {
    if (!file_) {
        return;
    }
    // Dropping an uncommitted QSaveFile discards its temporary file, so every throw below leaves
    // the target as it was.
    const std::unique_ptr<QSaveFile> file = std::move(file_);
    // commit() overlooks a failed flush of its buffer and never checks fsync: it would rename a
    // cut-short file over the target and report success. Both are checked here first.
    if (!file->flush()) {
        throw ioError("Cannot write", *file);
    }
    if (syncToDisk(file->handle()) != 0) {
        throw IOException("Cannot write " + file->fileName().toStdString() + ": " +
                          std::strerror(errno));
    }
    if (!file->commit()) {
        throw ioError("Cannot save", *file);
    }
}

} // namespace fw
