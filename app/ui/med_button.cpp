#include "app/ui/med_button.h"

#include "framework/core/exceptions.h"
#include "framework/core/values.h"
#include "framework/gui/appearance.h"
#include "framework/gui/runtime.h"

#include <cstdint>

namespace tallybell {

namespace {

const fw::String kClassName = "medButton";
const fw::String kNormal = "normal";
const fw::String kHover = "hover";
const fw::String kPushed = "pushed";
const fw::String kCaptionFont = "Helvetica";

constexpr fw::Color kDarkFill{0x515352};
constexpr fw::Color kLightFill{0xFFFFFF};
constexpr fw::Color kPushedFill{0x2A61C5};
constexpr fw::Color kHoverFill{0xFC7F08};
constexpr fw::Color kWhite{0xFFFFFF};
constexpr fw::Color kBlack{0x000000};
constexpr double kCornerArc = 5;

const fw::ClassEvents buttonEvents(kClassName.Bytes(),
                                   {"MouseDown", "MouseEnter", "MouseExit", "MouseUp", "Paint"});

} // namespace

double CaptionLeft(double areaWidth, double captionWidth) {
    // NOLINTNEXTLINE(bugprone-integer-division): halved in whole pixels, the odd one dropped
    return static_cast<double>(fw::SaturateCast<std::int32_t>(areaWidth - captionWidth) / 2);
}

double CaptionBaseline(double height1, double height2, double ascent) {
    // NOLINTNEXTLINE(bugprone-integer-division): halved in whole pixels, the odd one dropped
    return height1 - static_cast<double>(fw::SaturateCast<std::int32_t>(height2 - ascent) / 2);
}

medButton::medButton() = default;

medButton::~medButton() = default;

bool medButton::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, kClassName, eventName, true);
}

const fw::PropertyRegistry& medButton::properties() const {
    static const fw::PropertyRegistry registry = [] {
        fw::PropertyRegistry r(&fw::CanvasProperties());
        r.AddField("Caption", &medButton::Caption);
        r.AddField("textColour", &medButton::textColour);
        r.AddField("textSize", &medButton::textSize);
        return r;
    }();
    return registry;
}

bool medButton::Event_MouseDown(std::int64_t, std::int64_t) {
    state = kPushed;
    Refresh(true);
    return true;
}

void medButton::Event_MouseEnter() {
    state = kHover;
    Refresh(true);
}

void medButton::Event_MouseExit() {
    state = kNormal;
    Refresh(true);
}

// Wherever the pointer is now: a press that ends outside still counts.
void medButton::Event_MouseUp(std::int64_t, std::int64_t) {
    state = kNormal;
    Refresh(true);
    Action();
}

void medButton::Action() {
    if (action_) {
        action_(*this);
    }
}

void medButton::paintBackground(fw::Graphics& g) {
    const double insetWidth = static_cast<double>(Width() - 2);
    const double insetHeight = static_cast<double>(Height() - 2);
    if (state == kNormal) {
        if (fw::IsDarkMode()) {
            g.DrawingColor(kDarkFill);
            textColour = kWhite;
        } else {
            g.DrawingColor(kLightFill);
            textColour = kBlack;
        }
        g.FillRoundRect(0, 0, static_cast<double>(Width()), static_cast<double>(Height()),
                        kCornerArc, kCornerArc);
    } else if (state == kPushed) {
        g.DrawingColor(kPushedFill);
        g.FillRoundRect(1, 1, insetWidth, insetHeight, kCornerArc, kCornerArc);
    } else if (state == kHover) {
        g.DrawingColor(kHoverFill);
        g.FillRoundRect(1, 1, insetWidth, insetHeight, kCornerArc, kCornerArc);
        textColour = kWhite;
    }
}

// The whole control is painted every time, whatever areas need it.
void medButton::Event_Paint(fw::Graphics& g, const std::vector<fw::Rect>&) {
    paintBackground(g);
    g.DrawingColor(fw::IsDarkMode() ? kWhite : textColour);
    g.TextFont(kCaptionFont);
    g.TextUnit(fw::FontUnit::Point);
    g.TextSize(static_cast<float>(textSize));
    const double x = CaptionLeft(g.Width(), g.StringWidth(Caption));
    const double height1 = g.Height();
    const double height2 = g.Height();
    const double y = CaptionBaseline(height1, height2, g.TextAscent());
    g.DrawText(Caption, x, y, 0, false);
}

} // namespace tallybell
