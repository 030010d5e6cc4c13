#include "app/ui/alarm_window.h"

#include "app/alarm_protocol.h"
#include "app/alarm_socket.h"
#include "app/app.h"
#include "app/ui/main_menu_bar.h"
#include "app/ui/media.h"
#include "framework/core/exceptions.h"
#include "framework/core/object.h"
#include "framework/gui/color.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/property_list.h"
#include "framework/gui/runtime.h"
#include "framework/gui/sound.h"

namespace tallybell {

namespace {

const fw::String kClassName = "Window1.Window1";
const char* const kEventClassName = "Window1";
const fw::String kCanvasName = "Canvas1";
const fw::String kTimerName = "animate";
const fw::String kButtonName = "medButton1";

// The sprite sheet: 100 frames of 256 x 256, 10 to a row; one drawn centred across the canvas.
constexpr std::int64_t kFramesPerRow = 10;
constexpr std::int64_t kLastFrame = 99;
constexpr double kFrameSide = 256;
constexpr double kFrameLeft = 152;
constexpr double kFrameTop = 0;

constexpr std::int64_t kHornDelayMs = 500;
constexpr std::int64_t kAnimationPeriodMs = 25;

const fw::ClassEvents windowEvents(kEventClassName, {"Close"});

// Without a horn there is nothing to stop.
void stopHorn() {
    if (const std::shared_ptr<fw::Sound> horn = AirHorn()) {
        horn->Stop();
    }
}

template <class Item> std::shared_ptr<Item> menuItem(const fw::Window& window, const char* name) {
    return fw::Cast<Item>(fw::Deref(window.MenuBar())._Lookup(name));
}

} // namespace

fw::String window1PropertyList() {
    return fw::PropertyListBuilder()
        .AddInt64("Width", 600)
        .AddInt64("Height", 400)
        .AddInt64("MinimumWidth", 64)
        .AddInt64("MinimumHeight", 64)
        .AddInt64("MaximumWidth", 32000)
        .AddInt64("MaximumHeight", 32000)
        .AddInt64("Type", 7)
        .AddString("Title", "Tallybell")
        .AddBoolean("HasCloseButton", true)
        .AddBoolean("HasMaximizeButton", true)
        .AddBoolean("HasMinimizeButton", true)
        .AddBoolean("HasFullScreenButton", false)
        .AddBoolean("Resizeable", true)
        .AddBoolean("Composite", false)
        .AddInt64("MacProcID", 0)
        .AddBoolean("FullScreen", false)
        .AddInt64("DefaultLocation", 0)
        .AddBoolean("Visible", false)
        .AddBoolean("HasBackgroundColor", false)
        .AddColor("BackgroundColor", fw::Color(0xFFFFFF))
        .AddBoolean("MenuBarVisible", true)
        .Build();
}

fw::String canvas1PropertyList() {
    return fw::PropertyListBuilder()
        .AddString("Name", kCanvasName)
        .AddInt64("Index", fw::kNotIndexed)
        .AddInt64("Left", 20)
        .AddInt64("Top", 20)
        .AddInt64("Width", 560)
        .AddInt64("Height", 256)
        .AddBoolean("LockLeft", true)
        .AddBoolean("LockTop", true)
        .AddBoolean("LockRight", false)
        .AddBoolean("LockBottom", false)
        .AddInt64("TabIndex", 1)
        .AddInt64("TabPanelIndex", 0)
        .AddBoolean("TabStop", true)
        .AddBoolean("AllowAutoDeactivate", true)
        .AddBoolean("Enabled", true)
        .AddString("Tooltip", "")
        .AddBoolean("AllowFocusRing", true)
        .AddBoolean("Visible", true)
        .AddBoolean("AllowFocus", false)
        .AddBoolean("AllowTabs", false)
        .AddBoolean("DoubleBuffer", false)
        .AddBoolean("Transparent", true)
        .AddString("InitialParent", "")
        .Build();
}

fw::String animatePropertyList() {
    return fw::PropertyListBuilder()
        .AddInt64("RunMode", fw::Timer::Off)
        .AddInt64("Period", kAnimationPeriodMs)
        .Build();
}

fw::String medButton1PropertyList() {
    return fw::PropertyListBuilder()
        .AddString("Name", kButtonName)
        .AddInt64("Index", fw::kNotIndexed)
        .AddInt64("Width", 250)
        .AddInt64("Height", 92)
        .AddBoolean("LockLeft", true)
        .AddBoolean("LockTop", true)
        .AddBoolean("LockRight", false)
        .AddBoolean("LockBottom", false)
        .AddInt64("TabIndex", 2)
        .AddBoolean("TabStop", true)
        .AddInt64("Left", 175)
        .AddInt64("Top", 288)
        .AddBoolean("AllowAutoDeactivate", true)
        .AddString("Tooltip", "")
        .AddBoolean("AllowFocusRing", true)
        .AddBoolean("Visible", true)
        .AddBoolean("Enabled", true)
        .AddBoolean("AllowFocus", false)
        .AddBoolean("AllowTabs", false)
        .AddBoolean("DoubleBuffer", false)
        .AddBoolean("Transparent", true)
        .AddString("Caption", "On my Way!")
        .AddColor("textColour", fw::Color(0x000000))
        .AddInt64("textSize", 30)
        .AddInt64("TabPanelIndex", 0)
        .AddString("InitialParent", "")
        .Build();
}

Window1::Window1() : fw::Window(kClassName) {}

void Window1::Layout() {
    MenuBar(MainMenuBar());
    fw::_SetProperties(shared_from_this(), window1PropertyList());
}

void Window1::CreateControls() {
    _CreateControls0();
}

// Each control is created, registered, configured and bound before the next one begins.
void Window1::_CreateControls0() {
    _AddControl(kCanvasName, __New<fw::Canvas>());
    fw::_SetProperties(_ControlByName(kCanvasName), canvas1PropertyList());
    fw::Deref(fw::Cast<fw::Canvas>(_ControlByName(kCanvasName)))
        .BindPaint(fw::WindowHandler(*this, &Window1::Canvas1_Paint));

    _AddControl(kTimerName, __New<Window1_wrapper_animate>());
    fw::_SetProperties(_ControlByName(kTimerName), animatePropertyList());
    fw::Deref(fw::Cast<fw::Timer>(_ControlByName(kTimerName)))
        .BindAction(fw::WindowHandler(*this, &Window1::animate_Action));

    _AddControl(kButtonName, __New<tallybell::medButton>());
    fw::_SetProperties(_ControlByName(kButtonName), medButton1PropertyList());
    fw::Deref(fw::Cast<tallybell::medButton>(_ControlByName(kButtonName)))
        .BindAction(fw::WindowHandler(*this, &Window1::medButton1_Action));
}

std::shared_ptr<fw::Canvas> Window1::Canvas1() const {
    return fw::Cast<fw::Canvas>(_ControlByName(kCanvasName));
}

std::shared_ptr<Window1_wrapper_animate> Window1::animate() const {
    return fw::Cast<Window1_wrapper_animate>(_ControlByName(kTimerName));
}

std::shared_ptr<tallybell::medButton> Window1::medButton1() const {
    return fw::Cast<tallybell::medButton>(_ControlByName(kButtonName));
}

// One frame is cheap enough to draw whole, whatever areas need it.
void Window1::Canvas1_Paint(fw::Canvas&, fw::Graphics* g, const std::vector<fw::Rect>&) {
    const std::int64_t row = frameCounter / kFramesPerRow;
    const std::int64_t column = frameCounter - row * kFramesPerRow;
    // In doubles: a counter set out of range must not overflow into undefined behaviour.
    const double sourceX = static_cast<double>(column) * kFrameSide;
    const double sourceY = static_cast<double>(row) * kFrameSide;
    if (!g) {
        throw fw::NilObjectException();
    }
    g->DrawPicture(SpriteSheet(), kFrameLeft, kFrameTop, kFrameSide, kFrameSide, sourceX, sourceY,
                   kFrameSide, kFrameSide);
}

void Window1::animate_Action(fw::Timer&) {
    if (frameCounter < kLastFrame) {
        frameCounter += 1;
    } else {
        frameCounter = 0;
    }
    fw::Deref(Canvas1()).Invalidate(true);
}

void Window1::medButton1_Action(tallybell::medButton&) {
    const std::shared_ptr<class App> app = App();
    const std::shared_ptr<Socket> socket = fw::Deref(app).Socket1;
    fw::Deref(socket).reply(fw::String(kAckPrefix) + app->myName);
    Hide();
}

std::shared_ptr<fw::MenuItem> Window1::EditMenu() const {
    return menuItem<fw::MenuItem>(*this, "EditMenu");
}

std::shared_ptr<fw::MenuItem> Window1::EditSelectAll() const {
    return menuItem<fw::MenuItem>(*this, "EditSelectAll");
}

std::shared_ptr<fw::MenuItem> Window1::EditSeparator2() const {
    return menuItem<fw::MenuItem>(*this, "EditSeparator2");
}

std::shared_ptr<fw::MenuItem> Window1::EditClear() const {
    return menuItem<fw::MenuItem>(*this, "EditClear");
}

std::shared_ptr<fw::MenuItem> Window1::EditPaste() const {
    return menuItem<fw::MenuItem>(*this, "EditPaste");
}

std::shared_ptr<fw::MenuItem> Window1::EditCopy() const {
    return menuItem<fw::MenuItem>(*this, "EditCopy");
}

std::shared_ptr<fw::MenuItem> Window1::EditCut() const {
    return menuItem<fw::MenuItem>(*this, "EditCut");
}

std::shared_ptr<fw::MenuItem> Window1::EditSeparator1() const {
    return menuItem<fw::MenuItem>(*this, "EditSeparator1");
}

std::shared_ptr<fw::MenuItem> Window1::EditUndo() const {
    return menuItem<fw::MenuItem>(*this, "EditUndo");
}

std::shared_ptr<fw::MenuItem> Window1::FileMenu() const {
    return menuItem<fw::MenuItem>(*this, "FileMenu");
}

std::shared_ptr<fw::QuitMenuItem> Window1::FileQuit() const {
    return menuItem<fw::QuitMenuItem>(*this, "FileQuit");
}

std::shared_ptr<fw::MenuItem> Window1::FileChangeName() const {
    return menuItem<fw::MenuItem>(*this, "FileChangeName");
}

std::shared_ptr<fw::ApplicationMenuItem> Window1::FileAbout() const {
    return menuItem<fw::ApplicationMenuItem>(*this, "FileAbout");
}

void Window1::Event_Close() {
    // The timer is left alone: it ends with the window.
    stopHorn();
}

// Without its horn (the loader has said which file is missing) the alarm still shows and
// animates: a silent alarm is seen, a failed one is not.
void Window1::Alarm() {
    if (const std::shared_ptr<fw::Sound> horn = AirHorn()) {
        // The call holds the sound, not the window: a horn due after the window closed plays.
        fw::Timer::CallLater(kHornDelayMs, [horn] { horn->Play(); });
    }
    fw::Deref(animate()).RunMode(fw::Timer::Multiple);
}

void Window1::Stop() {
    stopHorn();
}

bool Window1::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, kEventClassName, eventName, true);
}

std::shared_ptr<class Window1> Window1() {
    if (const std::shared_ptr<fw::Window> open = fw::Window::_GetImplicitWindow(kClassName)) {
        return fw::Cast<class Window1>(open);
    }
    // The framework keeps the window while it is open; the accessor keeps nothing of its own.
    auto window = std::make_shared<class Window1>();
    window->Constructor();
    return window;
}

} // namespace tallybell
