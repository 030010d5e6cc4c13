#include "framework/gui/text_control.h"

#include "framework/gui/font_qt_p.h"

#include <QPalette>
#include <QWidget>

namespace fw {

TextControl::TextControl() = default;

TextControl::~TextControl() = default;

void TextControl::FontName(const String& name) {
    fontName_ = name;
    restyle();
}

void TextControl::FontSize(float size) {
    fontSize_ = size;
    restyle();
}

void TextControl::FontUnit(fw::FontUnit unit) {
    fontUnit_ = unit;
    restyle();
}

void TextControl::Bold(bool on) {
    bold_ = on;
    restyle();
}

void TextControl::Italic(bool on) {
    italic_ = on;
    restyle();
}

void TextControl::Underline(bool on) {
    underline_ = on;
    restyle();
}

void TextControl::TextColor(Color color) {
    textColor_ = color;
    restyle();
}

void TextControl::TextAlignment(std::int64_t code) {
    textAlignment_ = code;
    restyle();
}

void TextControl::restyle() {
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextControl::applyToWidget() {
    Control::applyToWidget();
    applyTextStyle(qtWidget());
}

void TextControl::applyTextStyle(QWidget* widget) const {
    if (!widget) {
        return;
    }
    QFont font = QtFont(fontName_, fontUnit_, fontSize_);
    font.setBold(bold_);
    font.setItalic(italic_);
    font.setUnderline(underline_);
    widget->setFont(font);

    QPalette palette = widget->palette();
    const QColor colour(textColor_.Red(), textColor_.Green(), textColor_.Blue(),
                        255 - textColor_.Transparency());
    palette.setColor(QPalette::WindowText, colour); // static text
    palette.setColor(QPalette::Text, colour);       // editable text
    widget->setPalette(palette);
}

int TextControl::qtAlignment() const {
    switch (textAlignment_) {
    case AlignCenter:
        return Qt::AlignHCenter;
    case AlignRight:
        return Qt::AlignRight;
    default: // AlignDefault, AlignLeft, and codes this platform does not know
        return Qt::AlignLeft;
    }
}

const PropertyRegistry& TextControl::properties() const {
    return TextControlProperties();
}

const PropertyRegistry& TextControlProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r(&ControlProperties());
        r.AddSetter("FontName", &TextControl::FontName);
        r.AddSetter("FontSize", &TextControl::FontSize);
        r.AddSetter("FontUnit", &TextControl::FontUnit);
        r.AddSetter("Bold", &TextControl::Bold);
        r.AddSetter("Italic", &TextControl::Italic);
        r.AddSetter("Underline", &TextControl::Underline);
        r.AddSetter("TextColor", &TextControl::TextColor);
        r.AddSetter("TextAlignment", &TextControl::TextAlignment);
        r.AddSetter("DataSource", &TextControl::DataSource);
        r.AddSetter("DataField", &TextControl::DataField);
        return r;
    }();
    return registry;
}

} // namespace fw
