#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/core/text.h"

#include <memory>

class QSaveFile;

namespace fw {

class FolderItem;
class TextEncoding;

/// Writes a file atomically: the text goes to a temporary file beside the target, which replaces
/// the target only when the stream is closed. A failure at any step raises IOException and
/// leaves the target as it was.
class TextOutputStream : public Object {
public:
    static std::shared_ptr<TextOutputStream> Create(const std::shared_ptr<FolderItem>& file,
                                                    const TextEncoding* encoding);
    ~TextOutputStream() override;

    void Write(const Text& text);
    void Write(const String& text);
    /// Commits the file; raises IOException when it cannot. Closing twice does nothing.
    void Close();

private:
    explicit TextOutputStream(std::unique_ptr<QSaveFile> file);
    std::unique_ptr<QSaveFile> file_;
};

/// Test hook: while alive, making a written file durable on disk (fsync) fails with the given
/// errno, as on a disk that fails under the save.
class DiskSyncFailure {
public:
    explicit DiskSyncFailure(int error);
    ~DiskSyncFailure();
    DiskSyncFailure(const DiskSyncFailure&) = delete;
    DiskSyncFailure& operator=(const DiskSyncFailure&) = delete;

private:
    friend int syncToDisk(int fd);
    int error_;
    DiskSyncFailure* previous_;
};

} // namespace fw
