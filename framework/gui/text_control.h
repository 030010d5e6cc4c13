#pragma once

#include "framework/core/string.h"
#include "framework/gui/color.h"
#include "framework/gui/control.h"
#include "framework/gui/font_unit.h"

#include <cstdint>

class QWidget;

namespace fw {

/// Base of the controls that show text: its font, emphasis, colour, alignment and data binding.
class TextControl : public Control {
public:
    /// TextAlignment codes; Default is the platform's (left for the text controls here).
    static constexpr std::int64_t AlignDefault = 0;
    static constexpr std::int64_t AlignLeft = 1;
    static constexpr std::int64_t AlignCenter = 2;
    static constexpr std::int64_t AlignRight = 3;

    TextControl();
    ~TextControl() override;

    const PropertyRegistry& properties() const override;

    /// "System" (or empty) is the platform's user-interface font.
    const String& FontName() const { return fontName_; }
    void FontName(const String& name);
    /// 0 keeps the platform's default size; FontUnit says what the number measures.
    float FontSize() const { return fontSize_; }
    void FontSize(float size);
    fw::FontUnit FontUnit() const { return fontUnit_; }
    void FontUnit(fw::FontUnit unit);
    bool Bold() const { return bold_; }
    void Bold(bool on);
    bool Italic() const { return italic_; }
    void Italic(bool on);
    bool Underline() const { return underline_; }
    void Underline(bool on);
    Color TextColor() const { return textColor_; }
    void TextColor(Color color);
    std::int64_t TextAlignment() const { return textAlignment_; }
    void TextAlignment(std::int64_t code);

    /// Data binding by name; nothing in the framework binds, the names are kept for the owner.
    const String& DataSource() const { return dataSource_; }
    void DataSource(const String& name) { dataSource_ = name; }
    const String& DataField() const { return dataField_; }
    void DataField(const String& name) { dataField_ = name; }

protected:
    void applyToWidget() override;
    /// Gives widget the control's font and text colour.
    void applyTextStyle(QWidget* widget) const;
    /// The alignment code as Qt's horizontal alignment flags (an int so no Qt header is needed).
    int qtAlignment() const;

private:
    void restyle();

    String fontName_ = "System";
    float fontSize_ = 0;
    fw::FontUnit fontUnit_ = fw::FontUnit::Default;
    bool bold_ = false;
    bool italic_ = false;
    bool underline_ = false;
    Color textColor_{0x000000};
    std::int64_t textAlignment_ = AlignDefault;
    String dataSource_;
    String dataField_;
};

/// The registration every text control class extends (the control properties and the above).
const PropertyRegistry& TextControlProperties();

} // namespace fw
