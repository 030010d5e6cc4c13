#pragma once

#include "framework/object.h"
#include "framework/text.h"

#include <cstdio>
#include <memory>

namespace fw {

class FolderItem;
class TextEncoding;

/// Reads a file as text in one encoding.
class TextInputStream : public Object {
public:
    /// Opens file for reading; raises NilObjectException for Nil, IOException when it cannot.
    static std::shared_ptr<TextInputStream> Open(const std::shared_ptr<FolderItem>& file,
                                                 const TextEncoding* encoding);
    ~TextInputStream() override;

    /// Everything from the position to the end; raises IOException on a read error.
    Text ReadAll();
    void Close();

private:
    explicit TextInputStream(std::FILE* file);
    std::FILE* file_;
};

} // namespace fw
