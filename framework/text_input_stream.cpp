#include "framework/text_input_stream.h"

#include "framework/folder_item.h"
#include "framework/text_encoding.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>

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

} // namespace

TextInputStream::TextInputStream(std::FILE* file) : file_(file) {}

TextInputStream::~TextInputStream() {
    Close();
}

std::shared_ptr<TextInputStream> TextInputStream::Open(const std::shared_ptr<FolderItem>& file,
                                                       const TextEncoding* encoding) {
    const std::string& path = Deref(file).NativePath();
    std::FILE* handle = std::fopen(path.c_str(), "rb");
    if (!handle) {
        raiseIOError("Cannot open " + path, errno);
    }
    // A folder opens like a file on some systems and fails only on reading; refuse it here.
    struct stat status {};
    if (::fstat(::fileno(handle), &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        std::fclose(handle);
        raiseIOError("Cannot open " + path, error);
    }
    // A UTF-8 signature is not part of the text.
    if (encoding == TextEncoding::UTF8()) {
        skipByteOrderMark(handle);
    }
    return std::shared_ptr<TextInputStream>(new TextInputStream(handle));
}

Text TextInputStream::ReadAll() {
    if (!file_) {
        throw IOException("The stream is closed");
    }
    std::string bytes;
    char buffer[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
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
