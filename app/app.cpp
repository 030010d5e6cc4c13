#include "app/app.h"

#include "app/alarm_protocol.h"
#include "app/alarm_socket.h"
#include "app/ui/app_tray_item.h"
#include "app/ui/name_prompt.h"
#include "framework/core/debug_log.h"
#include "framework/core/values.h"
#include "framework/gui/message_box.h"
#include "framework/gui/runtime.h"
#include "keepawake/caffeine_drip.h"
#include "platform/object_runtime.h"
#include "preferences/prefs.h"

namespace tallybell {

namespace {

constexpr std::int64_t kStartupRouterHops = 10;
constexpr std::int64_t kWatchdogRouterHops = 1;
constexpr std::int64_t kWatchdogPeriodMs = 300000;

const fw::ClassEvents appEvents("App", {"Open", "Close"});

Prefs& preferences() {
    return fw::Deref(ModernPreferences::Preferences);
}

fw::Auto preference(const char* key) {
    return preferences().Operator_Lookup(fw::Text(key));
}

} // namespace

std::shared_ptr<class App> App() {
    return fw::Cast<class App>(fw::_GetAppObject());
}

void App::Constructor() {}

void App::Event_Open() {
    ModernPreferences::Initialise(fw::Text("Tallybell"));
    if (preferences().Load()) {
        fw::DebugLog("Preferences loaded");
    } else {
        for (const auto& setting : ModernPreferences::kSettings) {
            preferences().Operator_Lookup(fw::Text(setting.key),
                                          fw::Auto(fw::Text(setting.standIn)));
        }
    }

    if (preference("alarmName").ToText() == fw::Text("")) {
        startup()->Show(); // not modal: start-up goes on while the prompt is open
    }
    myName = preference("alarmName").ToString();

    if (!joinAlarmGroup()) {
        const fw::String message = fw::String(fw::Text("Could not join multicast group! ") +
                                              preference("mCastIP").ToText()) +
                                   fw::EndOfLine() + "Is Tallybell already running?";
        fw::MsgBox(message);
        return;
    }

    fw::DebugLog(fw::String(fw::Text("Joined multicast group ") + preference("mCastIP").ToText() +
                            fw::Text(":") + preference("port").ToText()));
    fw::Deref(tallybell::App()).AutoQuit(false);

    // The holder may go with this event: the activity it begins lasts until the process exits.
    caffeineDrip keepAwake;
    keepAwake.Reason = "Need instant response to UDP packet";
    keepAwake.start();

    startWatchdog();
}

bool App::joinAlarmGroup() {
    Socket1 = std::make_shared<Socket>();
    // Saturating: a port text too large (or not a number at all) becomes a port that Connect
    // refuses, not undefined behaviour.
    Socket1->Port(fw::SaturateCast<std::int64_t>(fw::Val(preference("port").ToString())));
    Socket1->RouterHops(kStartupRouterHops);
    Socket1->SendToSelf(true);
    Socket1->Connect();
    return Socket1->JoinMulticastGroup(preference("mCastIP").ToString());
}

void App::startWatchdog() {
    watchdog = std::make_shared<fw::Timer>();
    watchdog->Period(kWatchdogPeriodMs);
    watchdog->RunMode(fw::Timer::Multiple);
    watchdog->BindAction([this](fw::Timer& timer) { watchdogRun(timer); });
}

void App::Event_Close() {
    fw::Deref(Socket1).Close();
    fw::System::Log(fw::System::LogLevelNotice, "Alarm Closed");
    if (Tray) {
        RemoveTrayItem(Tray);
    }
}

bool App::_FileAbout_Action() {
    const platform::SEL orderFrontAboutPanel =
        platform::sel_registerName("orderFrontStandardAboutPanel:");
    const platform::SEL sharedApplication = platform::sel_registerName("sharedApplication");
    const platform::Class applicationClass = platform::NSClassFromString("NSApplication");
    const platform::id application = platform::objc_msgSend(applicationClass, sharedApplication);
    platform::objc_msgSend(application, orderFrontAboutPanel, nullptr);
    return true;
}

bool App::_FileChangeName_Action() {
    startup()->Show(); // while the prompt is open, the same window comes forward
    return true;
}

void App::watchdogRun(fw::Timer&) {
    fw::DebugLog("watchdog run....");
    if (fw::Deref(Socket1).IsConnected()) {
        fw::DebugLog("....still connected");
        return;
    }
    // The former socket is only released: closing a socket that already failed gains nothing.
    Socket1 = std::make_shared<Socket>();
    Socket1->Port(kDefaultPort);
    Socket1->RouterHops(kWatchdogRouterHops);
    Socket1->SendToSelf(true);
    Socket1->Connect();
    if (Socket1->JoinMulticastGroup(kDefaultGroup)) {
        fw::DebugLog("Joined multicast group 239.1.2.4");
    } else {
        fw::MsgBox("Could not join multicast group!");
    }
}

bool App::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, "App", eventName, true);
}

} // namespace tallybell
