#pragma once

#include "framework/core/object.h"
#include "framework/core/text.h"

#include <cstddef>
#include <cstdio>
#include <memory>

namespace fw {

class FolderItem;
class TextEncoding;

/// Reads a file as text in one encoding.
class TextInputStream : public Object {
public:
    /// Opens file for reading; raises NilObjectException for Nil, IOException when it cannot or
    /// when it is not a regular file (a folder, a FIFO, a device). Never blocks.
    static std::shared_ptr<TextInputStream> Open(const std::shared_ptr<FolderItem>& file,
                                                 const TextEncoding* encoding);
    ~TextInputStream() override;

    /// Everything from the position to the end; raises IOException on a read error.
    Text ReadAll();
    /// At most count bytes from the position on; raises IOException on a read error.
    Text Read(std::size_t count);
    void Close();

private:
    explicit TextInputStream(std::FILE* file);
    std::FILE* file_;
};

} // namespace fw
