#pragma once

#include "framework/core/string.h"
#include "framework/gui/color.h"
#include "framework/gui/font_unit.h"

#include <memory>

class QPainter;

namespace fw {

class Picture;

/// A drawing context: what a Paint event draws into, origin at the top left.
class Graphics {
public:
    /// Framework use: draws with painter into an area width by height.
    Graphics(QPainter& painter, double width, double height);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    /// The size of the drawing area; for a control's paint, the control's size.
    double Width() const { return width_; }
    double Height() const { return height_; }

    /// The colour of what is filled or drawn next.
    Color DrawingColor() const { return drawingColor_; }
    void DrawingColor(Color color) { drawingColor_ = color; }

    /// Fills the rectangle with corners rounded by arcs arcWidth wide and arcHeight high.
    void FillRoundRect(double x, double y, double width, double height, double arcWidth,
                       double arcHeight);

    /// The font of what is measured and drawn next: family ("System" or empty: the system's
    /// font), unit, and size (0: the system's default size).
    const String& TextFont() const { return textFont_; }
    void TextFont(const String& family) { textFont_ = family; }
    FontUnit TextUnit() const { return textUnit_; }
    void TextUnit(FontUnit unit) { textUnit_ = unit; }
    float TextSize() const { return textSize_; }
    void TextSize(float size) { textSize_ = size; }

    /// Width of text on one line, in the current font.
    double StringWidth(const String& text) const;
    /// The current font's typographic ascent (Helvetica at 30 points: about 22 to 23).
    double TextAscent() const;

    /// Draws text with its left end at x and its first baseline at y. A wrapWidth above 0 wraps
    /// it into lines that wide; with condense it is shortened with an ellipsis to fit instead.
    void DrawText(const String& text, double x, double y, double wrapWidth = 0,
                  bool condense = false);

    /// Draws the source rectangle of picture into the destination rectangle, scaling as
    /// needed. A Nil picture draws nothing.
    void DrawPicture(const std::shared_ptr<Picture>& picture, double destX, double destY,
                     double destWidth, double destHeight, double sourceX, double sourceY,
                     double sourceWidth, double sourceHeight);

private:
    void applyFont() const;

    QPainter& painter_;
    double width_;
    double height_;
    Color drawingColor_;
    String textFont_ = "System";
    FontUnit textUnit_ = FontUnit::Default;
    float textSize_ = 0;
};

} // namespace fw
