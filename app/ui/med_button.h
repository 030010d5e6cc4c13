#pragma once

#include "framework/core/string.h"
#include "framework/gui/canvas.h"
#include "framework/gui/color.h"
#include "framework/gui/graphics.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tallybell {

/// The application's push button: a rounded rectangle whose fill shows whether the pointer is
/// away, over it or pressing it, with its caption centred; Action comes when a press ends.
class medButton : public fw::Canvas {
public:
    using ActionHandler = std::function<void(medButton&)>;

    medButton();
    ~medButton() override;

    fw::String Caption = "label";

private:
    fw::String state = "normal";

public:
    /// Caption colour in the light appearance; painting "normal" and "hover" rewrites it.
    fw::Color textColour{0x000000};
    /// Caption size in points.
    std::int64_t textSize = 0;

    /// Binds the Action event; the handler receives this control.
    void BindAction(ActionHandler handler) { action_ = std::move(handler); }

    bool IsEventImplemented(const fw::String& eventName) const override;
    const fw::PropertyRegistry& properties() const override;

    bool Event_MouseDown(std::int64_t x, std::int64_t y) override;
    void Event_MouseEnter() override;
    void Event_MouseExit() override;
    void Event_MouseUp(std::int64_t x, std::int64_t y) override;
    void Event_Paint(fw::Graphics& g, const std::vector<fw::Rect>& areas) override;

private:
    void Action();
    void paintBackground(fw::Graphics& g);

    ActionHandler action_;
};

/// Where a caption's left end goes to centre it across an area: the difference truncated to
/// a 32-bit integer, then halved toward zero.
double CaptionLeft(double areaWidth, double captionWidth);
/// Where the baseline goes to centre a font's ascent vertically: height1 less half of
/// (height2 - ascent), truncated and halved as for CaptionLeft. The area's height is read
/// twice when painting, hence the two heights.
double CaptionBaseline(double height1, double height2, double ascent);

} // namespace tallybell
