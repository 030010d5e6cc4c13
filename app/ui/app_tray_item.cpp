#include "app/ui/app_tray_item.h"

#include "app/ui/alarm_window.h"
#include "app/ui/name_prompt.h"
#include "framework/core/auto.h"
#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/core/values.h"
#include "framework/gui/application.h"
#include "framework/gui/menu_item.h"
#include "framework/gui/message_box.h"
#include "framework/gui/runtime.h"

#include <memory>
#include <string>

namespace tallybell {

namespace {

// "Tallybell 1 (1.0.0.36)": the name, the short version, then every number of the full one.
fw::String nameAndVersion() {
    const fw::Application::VersionData& version = fw::Deref(fw::_GetAppObject()).Version();
    const std::string numbers = std::to_string(version.major) + "." +
                                std::to_string(version.minor) + "." + std::to_string(version.bug) +
                                "." + std::to_string(version.nonRelease);
    if (version.shortVersion.IsEmpty()) {
        return fw::ApplicationName() + " " + numbers;
    }
    return fw::ApplicationName() + " " + version.shortVersion.Bytes() + " (" + numbers + ")";
}

std::shared_ptr<fw::MenuItem> buildMenu() {
    auto root = std::make_shared<fw::MenuItem>();
    for (const char* text : {"About", "Change Name", "Exit"}) {
        root->AddMenu(std::make_shared<fw::MenuItem>(fw::String(text), fw::Auto()));
    }
    return root;
}

} // namespace

void AppTrayItem::Event_Action(std::int64_t cause) {
    switch (cause) {
    case ContextClick:
        popUpMenu();
        return;
    case DoubleClick:
        // Only brought up: the horn and the animation belong to a real alarm.
        fw::Deref(Window1()).Show();
        return;
    default:
        return; // a left click, and whatever else the platform reports, means nothing here
    }
}

void AppTrayItem::popUpMenu() {
    const std::shared_ptr<fw::MenuItem> root = buildMenu();
    const std::shared_ptr<fw::MenuItem> chosen = root->PopUp();
    if (!chosen) {
        return; // dismissed
    }
    // Recognised by its text: the items carry no name and no tag.
    const fw::String& text = chosen->Text();
    if (fw::Compare(text, "About") == 0) {
        fw::MessageBox(nameAndVersion() + fw::EndOfLine() + "Brackenmoor Ltd");
    } else if (fw::Compare(text, "Change Name") == 0) {
        fw::Deref(startup()).Show();
    } else if (fw::Compare(text, "Exit") == 0) {
        fw::Quit(0);
    }
}

} // namespace tallybell
