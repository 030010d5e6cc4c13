#include "framework/gui/application.h"

#include "framework/gui/runtime.h"
#include "framework/gui/tray_item.h"
#include "framework/gui/window_list.h"

#include <QCoreApplication>

#include <algorithm>

namespace fw {

Application::Application() = default;
Application::~Application() = default;

void Application::MenuBar(std::shared_ptr<fw::MenuBar> bar) {
    menuBar_ = std::move(bar);
}

void Application::_AddMenuHandler(const String& itemName, std::function<bool()> handler) {
    menuHandlers_[itemName.Bytes()] = std::move(handler);
}

bool Application::HandleMenuItem(const String& itemName) {
    const auto found = menuHandlers_.find(itemName.Bytes());
    if (found == menuHandlers_.end() || !found->second) {
        return false;
    }
    bool handled = false;
    RaiseEvent([&] { handled = found->second(); });
    return handled;
}

void Application::_x_SetVersionData(std::int64_t major, std::int64_t minor, std::int64_t bug,
                                    std::int64_t nonRelease, std::int64_t stage,
                                    const String& longVersion, const String& shortVersion,
                                    const String& packageInfo) {
    version_ =
        VersionData{major, minor, bug, nonRelease, stage, longVersion, shortVersion, packageInfo};
}

void Application::AddTrayItem(const std::shared_ptr<TrayItem>& item) {
    if (item && std::find(trayItems_.begin(), trayItems_.end(), item) == trayItems_.end()) {
        item->install(); // kept only once it is shown: a failure leaves nothing behind
        trayItems_.push_back(item);
    }
}

void Application::RemoveTrayItem(const std::shared_ptr<TrayItem>& item) {
    const auto found = std::find(trayItems_.begin(), trayItems_.end(), item);
    if (found == trayItems_.end()) {
        return;
    }
    const std::shared_ptr<TrayItem> removed = *found; // held while it is hidden
    trayItems_.erase(found);
    removed->uninstall();
}

void Application::RaiseOpen() {
    if (opened_) {
        return;
    }
    opened_ = true;
    RaiseEvent([this] { Event_Open(); });
}

void Application::Quit(int code) {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    CloseAllWindows();
    RaiseEvent([this] { Event_Close(); });
    QCoreApplication::exit(code);
}

void Quit(int code) {
    if (auto app = _GetAppObject()) {
        app->Quit(code);
    } else {
        QCoreApplication::exit(code);
    }
}

} // namespace fw
