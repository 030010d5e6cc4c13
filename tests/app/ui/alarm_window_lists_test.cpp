// The alarm window's property lists, decoded against the framework's registrations.
#include "app/ui/alarm_window.h"
#include "app/ui/med_button.h"
#include "framework/gui/canvas.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/property_list.h"
#include "framework/gui/window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <variant>

namespace tallybell {
namespace {

// One decoded value as the tables write it; colours as &h and eight hex digits.
struct Shown {
    std::string operator()(std::int64_t value) const { return std::to_string(value); }
    std::string operator()(bool value) const { return value ? "true" : "false"; }
    std::string operator()(const fw::String& value) const { return '"' + value.Bytes() + '"'; }
    std::string operator()(fw::FontUnit value) const { return std::to_string(int(value)); }
    std::string operator()(fw::Color value) const {
        char text[16];
        std::snprintf(text, sizeof text, "&h%08X", unsigned(value.Value()));
        return text;
    }
    std::string operator()(float value) const {
        std::ostringstream text;
        text << value << 'f';
        return text.str();
    }
};

// A list decoded as "Name=value" entries in their order, a blank between them.
std::string decoded(const fw::String& list, const fw::PropertyRegistry& registry) {
    std::string text;
    for (const auto& entry : fw::DecodePropertyList(list, registry)) {
        text += (text.empty() ? "" : " ") + entry.name + "=" + std::visit(Shown{}, entry.value);
    }
    return text;
}

// The bytes that follow the entry "name " that ends the list's last match (a name may end
// another one, as "BackgroundColor" ends "HasBackgroundColor").
std::string valueBytes(const fw::String& list, const std::string& name, std::size_t count) {
    const std::string& bytes = list.Bytes();
    const auto at = bytes.rfind(name + " ");
    return at == std::string::npos ? std::string() : bytes.substr(at + name.size() + 1, count);
}

TEST(AlarmWindowLists, TheWindowListHoldsItsPropertiesInTheirOrder) {
    EXPECT_EQ(decoded(window1PropertyList(), fw::WindowProperties()),
              "Width=600 Height=400 MinimumWidth=64 MinimumHeight=64 MaximumWidth=32000 "
              "MaximumHeight=32000 Type=7 Title=\"Tallybell\" HasCloseButton=true "
              "HasMaximizeButton=true HasMinimizeButton=true HasFullScreenButton=false "
              "Resizeable=true Composite=false MacProcID=0 FullScreen=false DefaultLocation=0 "
              "Visible=false HasBackgroundColor=false BackgroundColor=&h00FFFFFF "
              "MenuBarVisible=true");
    EXPECT_EQ(valueBytes(window1PropertyList(), "BackgroundColor", 4),
              std::string("\xff\xff\xff\0", 4));
    EXPECT_EQ(valueBytes(window1PropertyList(), "MaximumWidth", 8),
              std::string("\x00\x7d\0\0\0\0\0\0", 8));
}

TEST(AlarmWindowLists, TheCanvasListFollowsTheControlTable) {
    EXPECT_EQ(decoded(canvas1PropertyList(), fw::CanvasProperties()),
              "Name=\"Canvas1\" Index=-2147483648 Left=20 Top=20 Width=560 Height=256 "
              "LockLeft=true LockTop=true LockRight=false LockBottom=false TabIndex=1 "
              "TabPanelIndex=0 TabStop=true AllowAutoDeactivate=true Enabled=true Tooltip=\"\" "
              "AllowFocusRing=true Visible=true AllowFocus=false AllowTabs=false "
              "DoubleBuffer=false Transparent=true InitialParent=\"\"");
}

TEST(AlarmWindowLists, TheButtonListKeepsItsOwnOrder) {
    const medButton button;
    EXPECT_EQ(decoded(medButton1PropertyList(), button.properties()),
              "Name=\"medButton1\" Index=-2147483648 Width=250 Height=92 LockLeft=true "
              "LockTop=true LockRight=false LockBottom=false TabIndex=2 TabStop=true Left=175 "
              "Top=288 AllowAutoDeactivate=true Tooltip=\"\" AllowFocusRing=true Visible=true "
              "Enabled=true AllowFocus=false AllowTabs=false DoubleBuffer=false Transparent=true "
              "Caption=\"On my Way!\" textColour=&h00000000 textSize=30 TabPanelIndex=0 "
              "InitialParent=\"\"");
    EXPECT_EQ(valueBytes(medButton1PropertyList(), "textColour", 4), std::string(4, '\0'));
    EXPECT_EQ(valueBytes(medButton1PropertyList(), "Caption", 4), std::string("\x0a\0\0\0", 4));
}

TEST(AlarmWindowLists, TheTimerListIsOffAtTwentyFiveMilliseconds) {
    EXPECT_EQ(decoded(animatePropertyList(), fw::TimerProperties()), "RunMode=0 Period=25");
}

} // namespace
} // namespace tallybell
