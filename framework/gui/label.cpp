#include "framework/gui/label.h"

#include <QLabel>

namespace fw {

Label::Label() = default;

Label::~Label() = default;

void Label::Value(const String& text) {
    value_ = text;
    if (_Widget()) {
        _ApplyToWidget();
    }
}

void Label::Multiline(bool on) {
    multiline_ = on;
    if (_Widget()) {
        _ApplyToWidget();
    }
}

void Label::Selectable(bool on) {
    selectable_ = on;
    if (_Widget()) {
        _ApplyToWidget();
    }
}

QWidget* Label::_MakeWidget(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // a name like "<b>" must show as typed
    return label;
}

void Label::_ApplyToWidget() {
    TextControl::_ApplyToWidget();
    auto* label = qobject_cast<QLabel*>(_Widget());
    if (!label) {
        return;
    }
    label->setText(QString::fromStdString(value_.Bytes()));
    label->setWordWrap(multiline_);
    const Qt::Alignment vertical = multiline_ ? Qt::AlignTop : Qt::AlignVCenter;
    label->setAlignment(Qt::Alignment(_HorizontalAlignment()) | vertical);
    label->setTextInteractionFlags(selectable_
                                       ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                       : Qt::NoTextInteraction);
}

const PropertyRegistry& Label::_Properties() const {
    return LabelProperties();
}

const PropertyRegistry& LabelProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r(&TextControlProperties());
        r.AddSetter("Value", &Label::Value);
        r.AddSetter("Multiline", &Label::Multiline);
        r.AddSetter("Selectable", &Label::Selectable);
        return r;
    }();
    return registry;
}

} // namespace fw
