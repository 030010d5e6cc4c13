#include "framework/core/text_input_stream.h"

#include "framework/core/folder_item.h"
#include "framework/core/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void raiseIOError(const std::string& what, int error) {
    throw IOException(what + ": " + std::strerror(error));
}

void skipByteOrderMark(std::FILE* file) {
    char head[3] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    if (std::string_view(head, got) != kUtf8ByteOrderMark) {
        std::rewind(file);
    }
}

// Why an open descriptor is no text file to read (an errno), or 0 when it is one.
int notARegularFile(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return errno;
    }
    if (S_ISDIR(status.st_mode)) {
        return EISDIR;
    }
    return S_ISREG(status.st_mode) ? 0 : ENODEV;
}

// Only a regular file is text to read: a folder fails on reading, a FIFO would block the open
// until a writer comes, and a device such as /dev/zero never ends. The open itself does not
// block (O_NONBLOCK), so what it finds is refused before anything waits on it.
std::FILE* openRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        raiseIOError("Cannot open " + path, errno);
    }
    int error = notARegularFile(fd);
    std::FILE* handle = error == 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!handle) {
        error = error != 0 ? error : errno;
        ::close(fd);
        raiseIOError("Cannot open " + path + " as a file", error);
    }
    return handle;
}

} // namespace

TextInputStream::TextInputStream(std::FILE* file) : file_(file) {}

TextInputStream::~TextInputStream() {
    Close();
}

std::shared_ptr<TextInputStream> TextInputStream::Open(const std::shared_ptr<FolderItem>& file,
                                                       const TextEncoding* encoding) {
    std::FILE* handle = openRegularFile(Deref(file).NativePath());
    // A UTF-8 signature is not part of the text.
    if (encoding == TextEncoding::UTF8()) {
        skipByteOrderMark(handle);
    }
    return std::shared_ptr<TextInputStream>(new TextInputStream(handle));
}

Text TextInputStream::ReadAll() {
    return Read(std::numeric_limits<std::size_t>::max());
}

Text TextInputStream::Read(std::size_t count) {
    if (!file_) {
        throw IOException("The stream is closed");
    }
    std::string bytes;
    char buffer[64 * 1024];
    std::size_t got = 0;
    while (bytes.size() < count &&
           (got = std::fread(buffer, 1, std::min(sizeof buffer, count - bytes.size()), file_)) >
               0) {
        bytes.append(buffer, got);
    }
    if (std::ferror(file_)) {
        raiseIOError("Cannot read the file", errno);
    }
    // The bytes are handed on unchecked: a reader such as ParseJSON rejects what is not UTF-8.
    return Text(std::move(bytes));
}

void TextInputStream::Close() {
    if (file_) {
        std::fclose(file_); // read-only: nothing can be lost on close
        file_ = nullptr;
    }
}

} // namespace fw
