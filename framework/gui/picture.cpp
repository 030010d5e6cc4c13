#include "framework/gui/picture.h"

#include "framework/gui/picture_qt_p.h"
#include "framework/gui/qt_text_p.h"

#include <QImage>
#include <QPainter>

namespace fw {

namespace {
// Where the build puts the application's pictures among its compiled-in resources.
const QString pictureResourceFolder = QStringLiteral(":/pictures/");
} // namespace

Picture::Picture(std::unique_ptr<Image> image) : image_(std::move(image)) {
    if (!image_) {
        throw NilObjectException("A picture needs pixels");
    }
}

Picture::~Picture() = default;

std::int64_t Picture::Width() const {
    return image_->qimage.width();
}

std::int64_t Picture::Height() const {
    return image_->qimage.height();
}

std::shared_ptr<Picture> Picture::_OpenFromApp(const String& name) {
    // Loaded as stored: a palette PNG stays 8-bit indexed rather than growing to 32 bits a pixel.
    QImage image(pictureResourceFolder + qtText(name) + ".png");
    if (image.isNull()) {
        return nullptr; // missing or unreadable
    }
    return PictureFromImage(std::move(image));
}

std::shared_ptr<Picture> PictureFromImage(QImage image) {
    return std::make_shared<Picture>(std::make_unique<Picture::Image>(std::move(image)));
}

const QImage& PictureImage(const Picture& picture) {
    return picture.image().qimage;
}

QImage PictureRegion(const Picture& picture, const QRect& rect) {
    const QImage& image = PictureImage(picture);
    if (image.rect().contains(rect)) {
        return image.copy(rect);
    }
    // Only the part inside is copied (small), then placed on a transparent canvas.
    QImage region(rect.size(), QImage::Format_ARGB32_Premultiplied);
    region.fill(Qt::transparent);
    const QRect inside = rect.intersected(image.rect());
    if (!inside.isEmpty()) {
        QPainter painter(&region);
        painter.drawImage(inside.topLeft() - rect.topLeft(), image.copy(inside));
    }
    return region;
}

} // namespace fw
