#include "framework/gui/graphics.h"

#include "framework/gui/font_qt_p.h"
#include "framework/gui/picture_qt_p.h"
#include "framework/gui/qt_text_p.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>

namespace fw {

namespace {

QColor qtColor(Color c) {
    return QColor(c.Red(), c.Green(), c.Blue(), 255 - c.Transparency());
}

// The face's typographic ascent, which is what the platform the design's sizes were chosen on
// reports: its 'hhea' ascender, or for a face without the table (a PostScript Type 1 face, as
// fontconfig may give for Nimbus Sans) the top of its tall lower-case letters. Qt over FreeType
// reports the face's overall height instead, 33 rather than 22 for Nimbus Sans at 30 px, which
// drops a caption centred on it by 5 px.
double typographicAscent(const QFont& font, const QFontMetricsF& metrics) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray hhea = raw.fontTable("hhea");
    constexpr int kAscenderOffset = 4; // after the table's version
    if (raw.isValid() && hhea.size() >= kAscenderOffset + 2 && raw.unitsPerEm() > 0) {
        const auto* bytes = reinterpret_cast<const uchar*>(hhea.constData()) + kAscenderOffset;
        const auto ascender = static_cast<qint16>((bytes[0] << 8) | bytes[1]); // big-endian
        if (ascender > 0) {
            return ascender * raw.pixelSize() / raw.unitsPerEm();
        }
    }
    const double inkTop = -metrics.tightBoundingRect(QStringLiteral("bdfhklt")).top();
    return inkTop > 0 ? std::min(inkTop, metrics.ascent()) : metrics.ascent();
}

} // namespace

Graphics::Graphics(QPainter& painter, double width, double height)
    : painter_(painter), width_(width), height_(height) {}

Graphics::~Graphics() = default;

void Graphics::FillRoundRect(double x, double y, double width, double height, double arcWidth,
                             double arcHeight) {
    if (!(width > 0) || !(height > 0)) {
        return;
    }
    QPainterPath path;
    // An arc's width and height are the corner ellipse's diameters; Qt takes radii.
    path.addRoundedRect(QRectF(x, y, width, height), arcWidth / 2, arcHeight / 2);
    painter_.fillPath(path, qtColor(drawingColor_));
}

void Graphics::applyFont() const {
    painter_.setFont(QtFont(textFont_, textUnit_, textSize_));
}

double Graphics::StringWidth(const String& text) const {
    applyFont();
    return QFontMetricsF(painter_.font(), painter_.device()).horizontalAdvance(qtText(text));
}

double Graphics::TextAscent() const {
    applyFont();
    // Reading the face's tables costs more than a paint should: once per font and device.
    static QHash<QString, double> known;
    const QFont& font = painter_.font();
    const QString key = font.key() + QLatin1Char('@') +
                        QString::number(painter_.device() ? painter_.device()->logicalDpiY() : 0);
    const auto found = known.constFind(key);
    if (found != known.constEnd()) {
        return *found;
    }
    const double ascent = typographicAscent(font, QFontMetricsF(font, painter_.device()));
    known.insert(key, ascent);
    return ascent;
}

void Graphics::DrawText(const String& text, double x, double y, double wrapWidth, bool condense) {
    applyFont();
    painter_.setPen(qtColor(drawingColor_));
    const QFontMetricsF metrics(painter_.font(), painter_.device());
    QString line = qtText(text);
    if (!(wrapWidth > 0)) {
        painter_.drawText(QPointF(x, y), line);
        return;
    }
    if (condense) {
        painter_.drawText(QPointF(x, y), metrics.elidedText(line, Qt::ElideRight, wrapWidth));
        return;
    }
    QTextLayout layout(line, painter_.font(), painter_.device());
    layout.beginLayout();
    double top = 0;
    for (QTextLine textLine = layout.createLine(); textLine.isValid();
         textLine = layout.createLine()) {
        textLine.setLineWidth(wrapWidth);
        textLine.setPosition(QPointF(0, top));
        top += textLine.height();
    }
    layout.endLayout();
    layout.draw(&painter_, QPointF(x, y - metrics.ascent()));
}

void Graphics::DrawPicture(const std::shared_ptr<Picture>& picture, double destX, double destY,
                           double destWidth, double destHeight, double sourceX, double sourceY,
                           double sourceWidth, double sourceHeight) {
    if (!picture) {
        return;
    }
    const QRect source = QRectF(sourceX, sourceY, sourceWidth, sourceHeight).toRect();
    if (source.isEmpty() || !(destWidth > 0) || !(destHeight > 0)) {
        return;
    }
    // Only the region is copied: drawing a whole indexed sheet would convert all of it.
    painter_.drawImage(QRectF(destX, destY, destWidth, destHeight),
                       PictureRegion(*picture, source));
}

} // namespace fw
