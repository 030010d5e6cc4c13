// The alarm window's property lists, decoded against the framework's registrations.
#include "app/ui/alarm_window.h"
#include "app/ui/med_button.h"
#include "framework/canvas.h"
#include "framework/color.h"
#include "framework/pane_child.h"
#include "framework/property_list.h"
#include "framework/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tallybell {
namespace {

using Entries = std::vector<std::pair<std::string, fw::PropertyValue>>;
using I = std::int64_t;

Entries decoded(const fw::String& list, const fw::PropertyRegistry& registry) {
    Entries entries;
    for (auto& entry : fw::DecodePropertyList(list, registry)) {
        entries.emplace_back(std::move(entry.name), std::move(entry.value));
    }
    return entries;
}

// The bytes that follow the entry "name " that ends the list's last match (a name may end
// another one, as "BackgroundColor" ends "HasBackgroundColor").
std::string valueBytes(const fw::String& list, const std::string& name, std::size_t count) {
    const std::string& bytes = list.Bytes();
    const auto at = bytes.rfind(name + " ");
    return at == std::string::npos ? std::string() : bytes.substr(at + name.size() + 1, count);
}

TEST(AlarmWindowLists, TheWindowListHoldsItsPropertiesInTheirOrder) {
    const Entries expected{{"Width", I{600}},
                           {"Height", I{400}},
                           {"MinimumWidth", I{64}},
                           {"MinimumHeight", I{64}},
                           {"MaximumWidth", I{32000}},
                           {"MaximumHeight", I{32000}},
                           {"Type", I{7}},
                           {"Title", fw::String("Tallybell")},
                           {"HasCloseButton", true},
                           {"HasMaximizeButton", true},
                           {"HasMinimizeButton", true},
                           {"HasFullScreenButton", false},
                           {"Resizeable", true},
                           {"Composite", false},
                           {"MacProcID", I{0}},
                           {"FullScreen", false},
                           {"DefaultLocation", I{0}},
                           {"Visible", false},
                           {"HasBackgroundColor", false},
                           {"BackgroundColor", fw::Color(0xFFFFFF)},
                           {"MenuBarVisible", true}};
    EXPECT_EQ(decoded(window1PropertyList(), fw::WindowProperties()), expected);
    EXPECT_EQ(valueBytes(window1PropertyList(), "BackgroundColor", 4),
              std::string("\xff\xff\xff\0", 4));
    EXPECT_EQ(valueBytes(window1PropertyList(), "MaximumWidth", 8),
              std::string("\x00\x7d\0\0\0\0\0\0", 8));
}

TEST(AlarmWindowLists, TheCanvasListFollowsTheControlTable) {
    const Entries expected{{"Name", fw::String("Canvas1")},
                           {"Index", I{-2147483648LL}},
                           {"Left", I{20}},
                           {"Top", I{20}},
                           {"Width", I{560}},
                           {"Height", I{256}},
                           {"LockLeft", true},
                           {"LockTop", true},
                           {"LockRight", false},
                           {"LockBottom", false},
                           {"TabIndex", I{1}},
                           {"TabPanelIndex", I{0}},
                           {"TabStop", true},
                           {"AllowAutoDeactivate", true},
                           {"Enabled", true},
                           {"Tooltip", fw::String("")},
                           {"AllowFocusRing", true},
                           {"Visible", true},
                           {"AllowFocus", false},
                           {"AllowTabs", false},
                           {"DoubleBuffer", false},
                           {"Transparent", true},
                           {"InitialParent", fw::String("")}};
    EXPECT_EQ(decoded(canvas1PropertyList(), fw::CanvasProperties()), expected);
}

TEST(AlarmWindowLists, TheButtonListKeepsItsOwnOrder) {
    const Entries expected{{"Name", fw::String("medButton1")},
                           {"Index", I{-2147483648LL}},
                           {"Width", I{250}},
                           {"Height", I{92}},
                           {"LockLeft", true},
                           {"LockTop", true},
                           {"LockRight", false},
                           {"LockBottom", false},
                           {"TabIndex", I{2}},
                           {"TabStop", true},
                           {"Left", I{175}},
                           {"Top", I{288}},
                           {"AllowAutoDeactivate", true},
                           {"Tooltip", fw::String("")},
                           {"AllowFocusRing", true},
                           {"Visible", true},
                           {"Enabled", true},
                           {"AllowFocus", false},
                           {"AllowTabs", false},
                           {"DoubleBuffer", false},
                           {"Transparent", true},
                           {"Caption", fw::String("On my Way!")},
                           {"textColour", fw::Color(0x000000)},
                           {"textSize", I{30}},
                           {"TabPanelIndex", I{0}},
                           {"InitialParent", fw::String("")}};
    const medButton button;
    EXPECT_EQ(decoded(medButton1PropertyList(), button._Properties()), expected);
    EXPECT_EQ(valueBytes(medButton1PropertyList(), "textColour", 4), std::string(4, '\0'));
    EXPECT_EQ(valueBytes(medButton1PropertyList(), "Caption", 4), std::string("\x0a\0\0\0", 4));
}

TEST(AlarmWindowLists, TheTimerListIsOffAtTwentyFiveMilliseconds) {
    const Entries expected{{"RunMode", I{0}}, {"Period", I{25}}};
    EXPECT_EQ(decoded(animatePropertyList(), fw::TimerProperties()), expected);
}

} // namespace
} // namespace tallybell
