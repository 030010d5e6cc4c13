#include "app/ui/name_prompt.h"

#include "app/alarm_protocol.h"
#include "app/app.h"
#include "framework/core/auto.h"
#include "framework/core/debug_log.h"
#include "framework/core/object.h"
#include "framework/core/text.h"
#include "framework/core/values.h"
#include "framework/gui/color.h"
#include "framework/gui/message_box.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/property_list.h"
#include "framework/gui/runtime.h"
#include "preferences/modern_preferences.h"
#include "preferences/prefs.h"

#include <string_view>

namespace tallybell {

namespace {

const fw::String kClassName = "startup.startup";
const fw::String kLabelName = "Label1";
const fw::String kFieldName = "myName";
const fw::Text kNameKey = "alarmName";
constexpr std::int64_t kCarriageReturn = 13;
// The most bytes a name may take: its acknowledgement, "ACK," and the name in UTF-8, must fit one
// datagram.
constexpr std::int64_t kLongestName =
    kLargestPayload - static_cast<std::int64_t>(std::string_view(kAckPrefix).size());
constexpr fw::Color kBlack{0x000000};
constexpr fw::Color kWhite{0xFFFFFF};

const fw::ClassEvents promptEvents(kClassName.Bytes(), {"Open", "Close"});

} // namespace

fw::String startupWindowProperties() {
    return fw::PropertyListBuilder()
        .AddInt64("Width", 600)
        .AddInt64("Height", 160)
        .AddInt64("MinimumWidth", 64)
        .AddInt64("MinimumHeight", 64)
        .AddInt64("MaximumWidth", 32000)
        .AddInt64("MaximumHeight", 32000)
        .AddInt64("Type", 0)
        .AddString("Title", "Your Name")
        .AddBoolean("HasCloseButton", true)
        .AddBoolean("HasMaximizeButton", false)
        .AddBoolean("HasMinimizeButton", false)
        .AddBoolean("HasFullScreenButton", false)
        .AddBoolean("Resizeable", false)
        .AddBoolean("Composite", false)
        .AddInt64("MacProcID", 0)
        .AddBoolean("FullScreen", false)
        .AddInt64("DefaultLocation", 0)
        .AddBoolean("Visible", true)
        .AddBoolean("HasBackgroundColor", false)
        .AddColor("BackgroundColor", kWhite)
        .AddBoolean("MenuBarVisible", true)
        .Build();
}

fw::String startupLabel1Properties() {
    return fw::PropertyListBuilder()
        .AddString("Name", kLabelName)
        .AddInt64("Index", fw::kNotIndexed)
        .AddInt64("Left", 20)
        .AddInt64("Top", 20)
        .AddInt64("Width", 132)
        .AddInt64("Height", 20)
        .AddBoolean("LockLeft", true)
        .AddBoolean("LockTop", true)
        .AddBoolean("LockRight", false)
        .AddBoolean("LockBottom", false)
        .AddInt64("TabIndex", 0)
        .AddInt64("TabPanelIndex", 0)
        .AddBoolean("TabStop", true)
        .AddBoolean("AllowAutoDeactivate", true)
        .AddBoolean("Enabled", true)
        .AddString("Tooltip", "")
        .AddBoolean("Multiline", false)
        .AddBoolean("Selectable", false)
        .AddInt64("TextAlignment", 0)
        .AddColor("TextColor", kBlack)
        .AddBoolean("Transparent", false)
        .AddString("Value", "Enter Your Name...")
        .AddBoolean("Visible", true)
        .AddBoolean("Bold", false)
        .AddBoolean("Italic", false)
        .AddString("FontName", "System")
        .AddBoolean("Underline", false)
        .AddSingle("FontSize", 0)
        .AddFontUnit("FontUnit", fw::FontUnit::Default)
        .AddString("DataSource", "")
        .AddString("DataField", "")
        .AddString("InitialParent", "")
        .Build();
}

fw::String startupMyNameProperties() {
    return fw::PropertyListBuilder()
        .AddString("Name", kFieldName)
        .AddInt64("Index", fw::kNotIndexed)
        .AddInt64("Left", 20)
        .AddInt64("Top", 52)
        .AddInt64("Width", 560)
        .AddInt64("Height", 88)
        .AddBoolean("LockLeft", true)
        .AddBoolean("LockTop", true)
        .AddBoolean("LockRight", false)
        .AddBoolean("LockBottom", false)
        .AddInt64("TabIndex", 1)
        .AddInt64("TabPanelIndex", 0)
        .AddBoolean("TabStop", true)
        .AddBoolean("AllowAutoDeactivate", true)
        .AddColor("BackgroundColor", kWhite)
        .AddBoolean("HasBorder", true)
        .AddBoolean("Enabled", true)
        .AddString("Format", "")
        .AddString("Tooltip", "")
        .AddBoolean("Password", false)
        .AddColor("TextColor", kBlack)
        .AddBoolean("Transparent", false)
        .AddBoolean("AllowFocusRing", true)
        .AddBoolean("Visible", true)
        .AddString("FontName", "System")
        .AddSingle("FontSize", 55)
        .AddFontUnit("FontUnit", fw::FontUnit::Default)
        .AddBoolean("Bold", false)
        .AddBoolean("Italic", false)
        .AddBoolean("Underline", false)
        .AddString("Hint", "my name is")
        .AddString("Value", "")
        .AddBoolean("AllowTabs", false)
        .AddInt64("TextAlignment", 0)
        .AddBoolean("AllowSpellChecking", false)
        .AddInt64("MaximumCharactersAllowed", 0)
        .AddString("ValidationMask", "")
        .AddBoolean("ReadOnly", false)
        .AddString("DataSource", "")
        .AddString("DataField", "")
        .Build();
}

startup::startup() : fw::Window(kClassName) {}

startup::~startup() = default;

std::shared_ptr<class startup> startup() {
    if (auto open = fw::Window::_GetImplicitWindow(kClassName)) {
        return fw::Cast<class startup>(open);
    }
    auto window = std::make_shared<class startup>();
    window->Constructor();
    return window;
}

void startup::Layout() {
    fw::_SetProperties(shared_from_this(), startupWindowProperties());
}

void startup::CreateControls() {
    _CreateControls0();
}

void startup::_CreateControls0() {
    _AddControl(kLabelName, __New<fw::Label>());
    fw::_SetProperties(_ControlByName(kLabelName), startupLabel1Properties());

    _AddControl(kFieldName, __New<fw::TextField>());
    fw::_SetProperties(_ControlByName(kFieldName), startupMyNameProperties());

    auto& field = fw::Deref(myName());
    // A name too long to send could be stored but never acknowledge anything.
    field.MaximumBytesAllowed(kLongestName);
    field.BindTextChange(fw::WindowHandler(*this, &startup::myName_TextChange));
    field.BindKeyDown(fw::WindowHandler(*this, &startup::myName_KeyDown));
}

std::shared_ptr<fw::Label> startup::Label1() {
    return fw::Cast<fw::Label>(_ControlByName(kLabelName));
}

std::shared_ptr<fw::TextField> startup::myName() {
    return fw::Cast<fw::TextField>(_ControlByName(kFieldName));
}

void startup::myName_TextChange(fw::TextField&) {}

bool startup::myName_KeyDown(fw::TextField&, const fw::String& key) {
    if (fw::Asc(key) == kCarriageReturn) {
        Close(); // the Close event commits the name
    }
    return false;
}

void startup::Event_Close() {
    const fw::String name = fw::Deref(myName()).Text();
    fw::Deref(App()).myName = name;
    auto& preferences = fw::Deref(ModernPreferences::Preferences);
    preferences.Operator_Lookup(kNameKey, fw::Auto(name));
    // Rewritten on every close, changed or not; a failure leaves the new name in use for this run.
    if (preferences.Save()) {
        fw::DebugLog("Preferences saved");
    } else {
        fw::MsgBox("Could not save preferences.");
    }
}

void startup::Event_Open() {
    fw::Deref(myName()).Text(fw::Deref(App()).myName);
}

bool startup::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, kClassName, eventName, true);
}

} // namespace tallybell
