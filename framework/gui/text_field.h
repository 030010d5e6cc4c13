#pragma once

#include "framework/gui/text_control.h"

#include <cstdint>
#include <functional>

class QLineEdit;

namespace fw {

/// An editable single line of text: KeyDown sees each key before the field does, TextChange
/// follows every change of the text.
class TextField : public TextControl {
public:
    using TextChangeHandler = std::function<void(TextField&)>;
    using KeyDownHandler = std::function<bool(TextField&, const String& key)>;

    TextField();
    ~TextField() override;

    const PropertyRegistry& properties() const override;

    /// Binds the events to an owner's handlers (used when the class leaves them alone).
    void BindTextChange(TextChangeHandler handler) { textChange_ = std::move(handler); }
    void BindKeyDown(KeyDownHandler handler) { keyDown_ = std::move(handler); }

    /// The field's current text, as typed or as last set. Setting it raises TextChange when
    /// the text differs.
    const String& Text() const { return text_; }
    void Text(const String& text);
    /// The same text under its property-list name.
    const String& Value() const { return text_; }
    void Value(const String& text) { Text(text); }

    /// Shown, greyed, while the field is empty.
    const String& Hint() const { return hint_; }
    void Hint(const String& hint);
    Color BackgroundColor() const { return backgroundColor_; }
    void BackgroundColor(Color color);
    bool HasBorder() const { return hasBorder_; }
    void HasBorder(bool on);
    using Control::AllowFocusRing;
    void AllowFocusRing(bool on);
    /// Password: the text shows as bullets and cannot be copied out.
    bool Password() const { return password_; }
    void Password(bool on);
    bool ReadOnly() const { return readOnly_; }
    void ReadOnly(bool on);
    /// The platform field has no spell checker: the setting is kept, nothing more.
    bool AllowSpellChecking() const { return allowSpellChecking_; }
    void AllowSpellChecking(bool on) { allowSpellChecking_ = on; }
    /// The most characters the user may enter; 0 (or less): no limit at all.
    std::int64_t MaximumCharactersAllowed() const { return maximumCharacters_; }
    void MaximumCharactersAllowed(std::int64_t count);
    /// The most bytes the text may take in UTF-8; 0 (or less): no limit. What an edit brings
    /// past it is taken out again in whole characters (a surrogate pair is one).
    std::int64_t MaximumBytesAllowed() const { return maximumBytes_; }
    void MaximumBytesAllowed(std::int64_t count);
    /// A display format for numbers; kept for the owner, the text is shown as it is.
    const String& Format() const { return format_; }
    void Format(const String& format) { format_ = format; }
    /// An input mask in the platform's mask syntax; empty: none.
    const String& ValidationMask() const { return validationMask_; }
    void ValidationMask(const String& mask);

    /// Events, raised by the framework on the main thread.
    /// KeyDown: key is the key's text (Return "\r", the keypad's Enter chr(3), Tab "\t", Backspace
    /// chr(8), Delete chr(127), the arrows chr(28) to chr(31), Home chr(1), End chr(4), Page Up
    /// chr(11), Page Down chr(12); empty for a key that has none). True consumes the key; false
    /// lets the field handle it. Keys held alone as modifiers raise nothing.
    virtual bool Event_KeyDown(const String& key);
    virtual void Event_TextChange();

    /// Framework use: the widget reports a key typed into it; whether the key was consumed.
    bool keyDown(const String& key);
    /// Framework use: the widget's text is now text.
    void textChanged(const String& text);

protected:
    QWidget* makeWidget(QWidget* parent) override;
    void applyToWidget() override;

private:
    void applyByteLimit(QLineEdit& edit) const;

    String text_;
    String hint_;
    Color backgroundColor_{0xFFFFFF};
    bool hasBorder_ = true;
    bool password_ = false;
    bool readOnly_ = false;
    bool allowSpellChecking_ = false;
    std::int64_t maximumCharacters_ = 0;
    std::int64_t maximumBytes_ = 0;
    String format_;
    String validationMask_;
    TextChangeHandler textChange_;
    KeyDownHandler keyDown_;
};

/// The registration of TextField.
const PropertyRegistry& TextFieldProperties();

} // namespace fw
