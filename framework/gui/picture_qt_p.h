#pragma once

// Framework-internal: the Qt side of Picture, for the framework's drawing code. The
// application's code never includes this header.

#include "framework/gui/picture.h"

#include <QImage>
#include <QRect>

#include <memory>

namespace fw {

class Picture::Image {
public:
    explicit Image(QImage pixels) : qimage(std::move(pixels)) {}
    QImage qimage;
};

/// A picture over image, kept in the image's own format.
std::shared_ptr<Picture> PictureFromImage(QImage image);

/// The picture's pixels as stored: no conversion and no copy.
const QImage& PictureImage(const Picture& picture);

/// A copy of the pixels inside rect, rect.size() large. Inside the picture it keeps the
/// picture's own format; a rect reaching outside gives 32-bit pixels, transparent there.
/// Draw this rather than the whole picture with a source rectangle: painting an 8-bit image
/// converts all of it to 32 bits first, which for a sprite sheet means 26 MB on every frame.
QImage PictureRegion(const Picture& picture, const QRect& rect);

} // namespace fw
