#pragma once

#include "framework/core/string.h"
#include "framework/gui/label.h"
#include "framework/gui/text_field.h"
#include "framework/gui/window.h"

#include <memory>

namespace tallybell {

/// The name prompt: asks for the name sent in every acknowledgement. Every close, by the Return
/// key or the close box, makes the field's text the name in use and saves it; there is no
/// Cancel.
class startup : public fw::Window {
public:
    startup();
    ~startup() override;

    void Layout() override;
    void CreateControls() override;
    virtual void _CreateControls0();
    virtual std::shared_ptr<fw::Label> Label1();
    virtual std::shared_ptr<fw::TextField> myName();
    virtual void myName_TextChange(fw::TextField& field);
    virtual bool myName_KeyDown(fw::TextField& field, const fw::String& key);
    void Event_Close() override;
    void Event_Open() override;

    bool IsEventImplemented(const fw::String& eventName) const override;
};

/// The name prompt's single instance: the open one, else a new one (built, and so shown).
/// Never Nil; a failure while building passes to the caller.
std::shared_ptr<class startup> startup();

/// The property lists the prompt is built from: the window's, the label's and the field's.
fw::String startupWindowProperties();
fw::String startupLabel1Properties();
fw::String startupMyNameProperties();

} // namespace tallybell
