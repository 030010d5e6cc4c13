#pragma once

#include "framework/gui/text_control.h"

namespace fw {

/// Static text on a window: one line, or wrapped over several; optionally selectable.
class Label : public TextControl {
public:
    Label();
    ~Label() override;

    const PropertyRegistry& properties() const override;

    /// The text shown, always as plain text (never interpreted as markup).
    const String& Value() const { return value_; }
    void Value(const String& text);
    /// Multiline: the text wraps at the control's width; otherwise it stays on one line.
    bool Multiline() const { return multiline_; }
    void Multiline(bool on);
    /// Selectable: the user may select and copy the text.
    bool Selectable() const { return selectable_; }
    void Selectable(bool on);

protected:
    QWidget* makeWidget(QWidget* parent) override;
    void applyToWidget() override;

private:
    String value_;
    bool multiline_ = false;
    bool selectable_ = false;
};

/// The registration of Label.
const PropertyRegistry& LabelProperties();

} // namespace fw
