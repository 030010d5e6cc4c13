#include "framework/gui/text_field.h"

#include "framework/core/values.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/runtime.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace fw {

namespace {

bool isModifierOnly(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

// The text a key stands for: what it types, or the conventional control character of a key
// that edits or moves. Return is "\r" whatever the platform attaches to it; the keypad's Enter
// is chr(3), not a second Return, so a handler waiting for Return does not take it for one.
String keyText(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
        return "\r";
    case Qt::Key_Enter:
        return "\x03";
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return "\t";
    case Qt::Key_Backspace:
        return "\b";
    case Qt::Key_Delete:
        return "\x7f";
    case Qt::Key_Escape:
        return "\x1b";
    case Qt::Key_Home:
        return "\x01";
    case Qt::Key_End:
        return "\x04";
    case Qt::Key_PageUp:
        return "\x0b";
    case Qt::Key_PageDown:
        return "\x0c";
    case Qt::Key_Left:
        return "\x1c";
    case Qt::Key_Right:
        return "\x1d";
    case Qt::Key_Up:
        return "\x1e";
    case Qt::Key_Down:
        return "\x1f";
    default:
        return event.text().toStdString();
    }
}

// The widget showing a TextField: every key goes to KeyDown first, every change of the text to
// TextChange.
class LineEditQt : public QLineEdit {
public:
    LineEditQt(TextField* owner, QWidget* parent) : QLineEdit(parent), owner_(owner) {
        connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (owner_) {
                owner_->textChanged(String(text.toStdString()));
            }
        });
    }
    void Detach() { owner_ = nullptr; }

protected:
    // Here rather than in keyPressEvent: Tab would otherwise move the focus before any
    // key handler saw it.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress && owner_ &&
            takeKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        return QLineEdit::event(event);
    }

private:
    bool takeKey(const QKeyEvent& event) {
        if (isModifierOnly(event.key())) {
            return false;
        }
        // The handler may close the window and so let go of the field: keep it until done.
        const auto keepAlive = owner_->weak_from_this().lock();
        TextField* field = owner_;
        if (field->keyDown(keyText(event))) {
            return true;
        }
        const bool plainTab = event.key() == Qt::Key_Tab && event.modifiers() == Qt::NoModifier;
        if (plainTab && field->AllowTabs() && !isReadOnly()) {
            insert(QStringLiteral("\t"));
            return true;
        }
        return false;
    }

    TextField* owner_;
};

// The bytes a run of UTF-16 units takes in UTF-8. A surrogate without its pair counts as the
// replacement character it becomes.
std::int64_t utf8Size(QStringView text) {
    std::int64_t bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            bytes += 4;
            ++i;
        } else {
            bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

// Keeps the text within a number of UTF-8 bytes: what an edit (typing, a paste, a text set from
// code) brings past the limit is taken out again from just before the cursor, where the edit put
// it, in whole characters, so no surrogate pair is ever split.
class Utf8LimitValidator : public QValidator {
public:
    Utf8LimitValidator(std::int64_t limit, QObject* parent) : QValidator(parent), limit_(limit) {}
    void setLimit(std::int64_t limit) { limit_ = limit; }

    State validate(QString& input, int& position) const override {
        std::int64_t excess = utf8Size(input) - limit_;
        if (excess <= 0) {
            return Acceptable;
        }
        qsizetype start = std::clamp<qsizetype>(position, 0, input.size());
        const qsizetype end = start;
        while (excess > 0 && start > 0) {
            const bool pair = start >= 2 && input[start - 1].isLowSurrogate() &&
                              input[start - 2].isHighSurrogate();
            const qsizetype width = pair ? 2 : 1;
            excess -= utf8Size(QStringView(input).mid(start - width, width));
            start -= width;
        }
        if (excess > 0) {
            return Invalid; // what stands before the edit is already too long
        }
        input.remove(start, end - start);
        position = static_cast<int>(start);
        return Acceptable;
    }

private:
    std::int64_t limit_;
};

LineEditQt* lineEditOf(QWidget* widget) {
    return dynamic_cast<LineEditQt*>(widget);
}

} // namespace

TextField::TextField() = default;

TextField::~TextField() {
    // The widget may outlive this object briefly (the control base deletes it); it must not
    // report to a field that is gone.
    if (LineEditQt* edit = lineEditOf(qtWidget())) {
        edit->Detach();
    }
}

void TextField::Text(const String& text) {
    if (LineEditQt* edit = lineEditOf(qtWidget())) {
        edit->setText(qtText(text)); // its textChanged brings the change back here
        return;
    }
    textChanged(text);
}

void TextField::textChanged(const String& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    RaiseEvent([this] { Event_TextChange(); });
}

bool TextField::keyDown(const String& key) {
    bool consumed = false;
    RaiseEvent([&] { consumed = Event_KeyDown(key); });
    return consumed;
}

bool TextField::Event_KeyDown(const String& key) {
    return keyDown_ ? keyDown_(*this, key) : false;
}

void TextField::Event_TextChange() {
    if (textChange_) {
        textChange_(*this);
    }
}

void TextField::Hint(const String& hint) {
    hint_ = hint;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::BackgroundColor(Color color) {
    backgroundColor_ = color;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::HasBorder(bool on) {
    hasBorder_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::AllowFocusRing(bool on) {
    Control::AllowFocusRing(on);
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::Password(bool on) {
    password_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::ReadOnly(bool on) {
    readOnly_ = on;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::MaximumCharactersAllowed(std::int64_t count) {
    maximumCharacters_ = count;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::ValidationMask(const String& mask) {
    validationMask_ = mask;
    if (qtWidget()) {
        applyToWidget();
    }
}

QWidget* TextField::makeWidget(QWidget* parent) {
    return new LineEditQt(this, parent);
}

void TextField::applyToWidget() {
    TextControl::applyToWidget();
    LineEditQt* edit = lineEditOf(qtWidget());
    if (!edit) {
        return;
    }
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Transparent()
                                         ? QColor(Qt::transparent)
                                         : QColor(backgroundColor_.Red(), backgroundColor_.Green(),
                                                  backgroundColor_.Blue()));
    edit->setPalette(palette);
    edit->setAlignment(Qt::Alignment(qtAlignment()) | Qt::AlignVCenter);
    edit->setAttribute(Qt::WA_MacShowFocusRect, AllowFocusRing());
    edit->setFrame(hasBorder_);
    edit->setPlaceholderText(qtText(hint_));
    edit->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
    edit->setReadOnly(readOnly_);
    // Qt's own default stops at 32767 characters; 0 means no limit here, so the largest there is.
    const int limit = maximumCharacters_ > 0 ? SaturateCast<int>(maximumCharacters_)
                                             : std::numeric_limits<int>::max();
    if (edit->maxLength() != limit) {
        edit->setMaxLength(limit);
    }
    applyByteLimit(*edit);
    if (edit->inputMask() != qtText(validationMask_)) {
        edit->setInputMask(qtText(validationMask_));
    }
    if (edit->text() != qtText(text_)) {
        edit->setText(qtText(text_));
    }
}

void TextField::MaximumBytesAllowed(std::int64_t count) {
    maximumBytes_ = count;
    if (qtWidget()) {
        applyToWidget();
    }
}

void TextField::applyByteLimit(QLineEdit& edit) const {
    auto* limit = dynamic_cast<Utf8LimitValidator*>(const_cast<QValidator*>(edit.validator()));
    if (maximumBytes_ <= 0) {
        if (limit) {
            edit.setValidator(nullptr);
            delete limit;
        }
        return;
    }
    if (limit) {
        limit->setLimit(maximumBytes_);
    } else {
        edit.setValidator(new Utf8LimitValidator(maximumBytes_, &edit));
    }
}

const PropertyRegistry& TextField::properties() const {
    return TextFieldProperties();
}

const PropertyRegistry& TextFieldProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r(&TextControlProperties());
        r.AddSetter("Value", &TextField::Value);
        r.AddSetter("Hint", &TextField::Hint);
        r.AddSetter("BackgroundColor", &TextField::BackgroundColor);
        r.AddSetter("HasBorder", &TextField::HasBorder);
        r.AddSetter("AllowFocusRing", &TextField::AllowFocusRing);
        r.AddSetter("Password", &TextField::Password);
        r.AddSetter("ReadOnly", &TextField::ReadOnly);
        r.AddSetter("AllowSpellChecking", &TextField::AllowSpellChecking);
        r.AddSetter("MaximumCharactersAllowed", &TextField::MaximumCharactersAllowed);
        r.AddSetter("Format", &TextField::Format);
        r.AddSetter("ValidationMask", &TextField::ValidationMask);
        return r;
    }();
    return registry;
}

} // namespace fw
