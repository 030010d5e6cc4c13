#include "framework/gui/label.h"

#include "framework/gui/qt_text_p.h"

#include <QLabel>

namespace fw {

Label::Label() = default;

Label::~Label() = default;

void Label::Value(const String& text) {
    value_ = text;
    if (qtWidget()) {
        applyToWidget();
    }
}

void Label::Multiline(bool on) {
    multiline_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void Label::Selectable(bool on) {
    selectable_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

QWidget* Label::makeWidget(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // a name like "<b>" must show as typed
    return label;
}

void Label::applyToWidget() {
    TextControl::applyToWidget();
    auto* label = qobject_cast<QLabel*>(qtWidget());
    if (!label) {
        return;
    }
    label->setText(qtText(value_));
    label->setWordWrap(multiline_);
    const Qt::Alignment vertical = multiline_ ? Qt::AlignTop : Qt::AlignVCenter;
    label->setAlignment(Qt::Alignment(qtAlignment()) | vertical);
    label->setTextInteractionFlags(selectable_
                                       ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                       : Qt::NoTextInteraction);
}

const PropertyRegistry& Label::properties() const {
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
