#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>
#include <memory>

namespace fw {

/// An image held in memory in its own pixel format (an indexed sheet stays 8 bits a pixel).
class Picture : public Object {
public:
    /// The pixels; framework-internal, defined in picture_qt_p.h.
    class Image;

    explicit Picture(std::unique_ptr<Image> image);
    ~Picture() override;

    std::int64_t Width() const;
    std::int64_t Height() const;

    /// The picture compiled into the application under that name (no folder, no extension);
    /// Nil when there is none or it cannot be read.
    static std::shared_ptr<Picture> _OpenFromApp(const String& name);

    /// Framework use: the pixels, for drawing.
    const Image& image() const { return *image_; }

private:
    std::unique_ptr<Image> image_;
};

} // namespace fw
