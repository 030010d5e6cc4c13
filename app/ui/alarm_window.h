#pragma once

#include "app/ui/animate_timer.h"
#include "app/ui/med_button.h"
#include "framework/core/string.h"
#include "framework/core/timer.h"
#include "framework/gui/canvas.h"
#include "framework/gui/graphics.h"
#include "framework/gui/menu_item.h"
#include "framework/gui/rect.h"
#include "framework/gui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tallybell {

/// The alarm window: shows the sprite animation and plays the horn on an alarm; its button
/// answers the alarm and hides it. Built hidden; at most one is open at a time.
class Window1 : public fw::Window {
public:
    Window1();

    /// The sprite-sheet frame the canvas paints; the animation keeps it within 0 to 99.
    std::int64_t frameCounter = 0;

    void _CreateControls0();

    /// The controls, found on the window by name; Nil once the window has closed.
    std::shared_ptr<fw::Canvas> Canvas1() const;
    std::shared_ptr<Window1_wrapper_animate> animate() const;
    std::shared_ptr<tallybell::medButton> medButton1() const;

    /// Control handlers, bound to the controls when they are created.
    void Canvas1_Paint(fw::Canvas& sender, fw::Graphics* g, const std::vector<fw::Rect>& areas);
    void animate_Action(fw::Timer& sender);
    void medButton1_Action(tallybell::medButton& sender);

    /// The items of the window's menu bar, by name.
    std::shared_ptr<fw::MenuItem> EditMenu() const;
    std::shared_ptr<fw::MenuItem> EditSelectAll() const;
    std::shared_ptr<fw::MenuItem> EditSeparator2() const;
    std::shared_ptr<fw::MenuItem> EditClear() const;
    std::shared_ptr<fw::MenuItem> EditPaste() const;
    std::shared_ptr<fw::MenuItem> EditCopy() const;
    std::shared_ptr<fw::MenuItem> EditCut() const;
    std::shared_ptr<fw::MenuItem> EditSeparator1() const;
    std::shared_ptr<fw::MenuItem> EditUndo() const;
    std::shared_ptr<fw::MenuItem> FileMenu() const;
    std::shared_ptr<fw::QuitMenuItem> FileQuit() const;
    std::shared_ptr<fw::MenuItem> FileChangeName() const;
    std::shared_ptr<fw::ApplicationMenuItem> FileAbout() const;

    /// Stops the horn.
    void Event_Close() override;
    /// Plays the horn once, 500 ms from now (when there is one), and starts the animation.
    void Alarm();
    /// Stops the horn; the animation goes on.
    void Stop();

    bool IsEventImplemented(const fw::String& eventName) const override;

protected:
    void Layout() override;
    void CreateControls() override;
};

/// The open alarm window, built (hidden) when none is open. Nothing but the framework holds it.
std::shared_ptr<class Window1> Window1();

/// The property lists the alarm window and its controls are configured from.
fw::String window1PropertyList();
fw::String canvas1PropertyList();
fw::String animatePropertyList();
fw::String medButton1PropertyList();

} // namespace tallybell
