#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/gui/color.h"
#include "framework/gui/property_list.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class QMainWindow;
class QWidget;

namespace fw {

class MenuBar;

/// Base of the application's windows: built by Constructor from the Layout and CreateControls
/// hooks, held by the framework while open (shown or hidden), gone once closed.
class Window : public Object, public PropertyTarget {
public:
    /// className names the window's class for _GetImplicitWindow, e.g. "Window1.Window1".
    explicit Window(String className);
    ~Window() override;

    /// The open window of that class, shown or hidden; Nil when none is open.
    static std::shared_ptr<Window> _GetImplicitWindow(const String& className);

    /// The framework's window constructor: runs Layout and CreateControls, keeps the window
    /// among the open ones, raises Open once the controls exist, then shows it when Visible.
    /// A failure while building passes to the caller and leaves no open window behind.
    void Constructor();

    /// Creates a control of class T for this window and runs its Constructor.
    template <class T> std::shared_ptr<T> __New() {
        auto control = std::make_shared<T>();
        if constexpr (requires { control->Constructor(); }) {
            control->Constructor();
        }
        return control;
    }
    /// Adds a control under a name: it joins the window (weakly) and its widget is built.
    void _AddControl(const String& name, const std::shared_ptr<Object>& control);
    /// The control added under name; Nil when there is none.
    std::shared_ptr<Object> _ControlByName(const String& name) const;

    /// Makes the window visible and brings it to the front; returns at once (not modal).
    void Show();
    void Hide();
    /// Raises Close, as the close box does; then the window is no longer open, its controls
    /// go with it, and the framework lets go of it.
    void Close();
    /// Open: built by Constructor and not closed since.
    bool isOpen() const { return open_; }

    const String& ClassName() const { return className_; }
    /// The framework's question whether this class handles an event; none by default.
    virtual bool IsEventImplemented(const String& eventName) const;
    const PropertyRegistry& properties() const override;

    /// The size of the content area, below the menu bar.
    std::int64_t Width() const { return width_; }
    void Width(std::int64_t width);
    std::int64_t Height() const { return height_; }
    void Height(std::int64_t height);
    std::int64_t MinimumWidth() const { return minWidth_; }
    void MinimumWidth(std::int64_t width);
    std::int64_t MinimumHeight() const { return minHeight_; }
    void MinimumHeight(std::int64_t height);
    std::int64_t MaximumWidth() const { return maxWidth_; }
    void MaximumWidth(std::int64_t width);
    std::int64_t MaximumHeight() const { return maxHeight_; }
    void MaximumHeight(std::int64_t height);

    /// Window kind and first placement codes; every kind is an ordinary titled window here.
    std::int64_t Type() const { return type_; }
    void Type(std::int64_t type) { type_ = type; }
    std::int64_t DefaultLocation() const { return defaultLocation_; }
    void DefaultLocation(std::int64_t location) { defaultLocation_ = location; }
    std::int64_t MacProcID() const { return macProcID_; }
    void MacProcID(std::int64_t id) { macProcID_ = id; }
    bool Composite() const { return composite_; }
    void Composite(bool on) { composite_ = on; }

    const String& Title() const { return title_; }
    void Title(const String& title);
    bool HasCloseButton() const { return hasCloseButton_; }
    void HasCloseButton(bool on);
    bool HasMaximizeButton() const { return hasMaximizeButton_; }
    void HasMaximizeButton(bool on);
    bool HasMinimizeButton() const { return hasMinimizeButton_; }
    void HasMinimizeButton(bool on);
    bool HasFullScreenButton() const { return hasFullScreenButton_; }
    void HasFullScreenButton(bool on);
    bool Resizeable() const { return resizeable_; }
    void Resizeable(bool on);
    bool FullScreen() const { return fullScreen_; }
    void FullScreen(bool on);
    /// Visible: setting it true shows the window (once built), false hides it.
    bool Visible() const { return visible_; }
    void Visible(bool on);
    bool HasBackgroundColor() const { return hasBackgroundColor_; }
    void HasBackgroundColor(bool on);
    Color BackgroundColor() const { return backgroundColor_; }
    void BackgroundColor(Color color);

    /// The window's own menu bar; Nil: it carries the application's.
    std::shared_ptr<fw::MenuBar> MenuBar() const { return menuBar_; }
    void MenuBar(std::shared_ptr<fw::MenuBar> bar);
    bool MenuBarVisible() const { return menuBarVisible_; }
    void MenuBarVisible(bool on);

    /// Framework use: the content area was resized (by the user or the platform).
    void contentResized(int width, int height);

protected:
    /// Construction hooks, run by Constructor.
    virtual void Layout() {}
    virtual void CreateControls() {}
    /// Events: Open once the controls exist; Close when the window closes.
    virtual void Event_Open() {}
    virtual void Event_Close() {}

private:
    struct Impl;
    friend QMainWindow* qtWindow(const Window& window);
    friend QWidget* qtContent(const Window& window);

    void applyFlags();
    void applyGeometry();
    void applyBackground();
    void installMenuBar();
    void followResize(int dw, int dh);
    void releaseAfterClose();
    void discardWidgets();

    std::unique_ptr<Impl> impl_;
    String className_;
    std::vector<std::pair<String, std::shared_ptr<Object>>> controls_;
    std::shared_ptr<fw::MenuBar> menuBar_;
    bool built_ = false;
    bool open_ = false;
    bool closing_ = false;

    std::int64_t width_ = 300;
    std::int64_t height_ = 300;
    std::int64_t minWidth_ = 64;
    std::int64_t minHeight_ = 64;
    std::int64_t maxWidth_ = 32000;
    std::int64_t maxHeight_ = 32000;
    std::int64_t type_ = 0;
    std::int64_t defaultLocation_ = 0;
    std::int64_t macProcID_ = 0;
    bool composite_ = false;
    String title_;
    bool hasCloseButton_ = true;
    bool hasMaximizeButton_ = true;
    bool hasMinimizeButton_ = true;
    bool hasFullScreenButton_ = false;
    bool resizeable_ = true;
    bool fullScreen_ = false;
    bool visible_ = true;
    bool hasBackgroundColor_ = false;
    Color backgroundColor_{0xFFFFFF};
    bool menuBarVisible_ = true;
};

/// The registration every window class extends.
const PropertyRegistry& WindowProperties();

/// A handler for a control's event that calls method on window. It holds the window weakly: a
/// control that someone still holds must neither keep a closed window alive nor call into one
/// that is gone (the handler then does nothing and gives R's default, e.g. false).
template <class W, class R, class... Args>
auto WindowHandler(std::type_identity_t<W>& window, R (W::*method)(Args...)) {
    return [weak = window.weak_from_this(), method](Args... args) -> R {
        if (const std::shared_ptr<Object> alive = weak.lock()) {
            return (static_cast<W&>(*alive).*method)(std::forward<Args>(args)...);
        }
        return R();
    };
}

} // namespace fw
