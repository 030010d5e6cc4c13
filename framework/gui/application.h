#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fw {

class MenuBar;
class TrayItem;

/// The application object: Open and Close events, menu handlers, version data, quitting.
class Application : public Object {
public:
    struct VersionData {
        std::int64_t major = 0;
        std::int64_t minor = 0;
        std::int64_t bug = 0;
        std::int64_t nonRelease = 0;
        std::int64_t stage = 0;
        String longVersion;
        String shortVersion;
        String packageInfo;
    };

    Application();
    ~Application() override;

    /// True (the default is false): closing the last window ends the application.
    bool AutoQuit() const { return autoQuit_; }
    void AutoQuit(bool on) { autoQuit_ = on; }

    std::shared_ptr<fw::MenuBar> MenuBar() const { return menuBar_; }
    void MenuBar(std::shared_ptr<fw::MenuBar> bar);

    /// Calls handler when the menu item of that name is chosen; true from it means handled.
    void _AddMenuHandler(const String& itemName, std::function<bool()> handler);
    /// Runs the handler registered for the item; false when there is none or it did not handle.
    bool HandleMenuItem(const String& itemName);

    void _x_SetVersionData(std::int64_t major, std::int64_t minor, std::int64_t bug,
                           std::int64_t nonRelease, std::int64_t stage, const String& longVersion,
                           const String& shortVersion, const String& packageInfo);
    const VersionData& Version() const { return version_; }

    /// Shows the item in the desktop's status area (where there is one) and keeps it; adding
    /// it again does nothing.
    void AddTrayItem(const std::shared_ptr<TrayItem>& item);
    /// Hides the item and lets go of it; an item that was not added is left alone.
    void RemoveTrayItem(const std::shared_ptr<TrayItem>& item);
    /// How many status-bar items the application holds.
    std::int64_t TrayItemCount() const { return static_cast<std::int64_t>(trayItems_.size()); }

    /// Closes every window, raises Close once, then ends the event loop with the code.
    void Quit(int code = 0);
    bool IsQuitting() const { return quitting_; }

    /// Raised by the framework once the event loop runs; and at quit.
    virtual void Event_Open() {}
    virtual void Event_Close() {}

    /// Framework use: raises Open once.
    void RaiseOpen();

private:
    bool autoQuit_ = false;
    bool opened_ = false;
    bool quitting_ = false;
    std::shared_ptr<fw::MenuBar> menuBar_;
    std::map<std::string, std::function<bool()>> menuHandlers_;
    std::vector<std::shared_ptr<TrayItem>> trayItems_;
    VersionData version_;
};

/// Quits the running application (see Application::Quit).
void Quit(int code = 0);

} // namespace fw
