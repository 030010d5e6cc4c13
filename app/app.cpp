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
constexpr const char* kRetryingText =
    "No network to join it on yet: Tallybell tries again every five minutes.";

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
        logJoinFailed();
        if (!Socket1->IsBound()) {
            // The port is held by another program, most likely Tallybell itself: nothing to
            // retry.
            fw::MsgBox(joinFailedMessage("Is Tallybell already running?"));
            return;
        }
        // Bound but not joined: no network to join on yet. The watchdog joins once there is.
        tellJoinFailed(joinFailedMessage(kRetryingText));
    } else {
        fw::DebugLog(fw::String(fw::Text("Joined multicast group ") +
                                preference("mCastIP").ToText() + fw::Text(":") +
                                preference("port").ToText()));
    }
    fw::Deref(tallybell::App()).AutoQuit(false);

    // The holder may go with this event: the activity it begins lasts until the process exits.
    caffeineDrip keepAwake;
    keepAwake.Reason = "Need instant response to UDP packet";
    keepAwake.start();

    startWatchdog();
}

void App::logJoinFailed() const {
    fw::DebugLog("Could not join multicast group " + group_ + ": " + Socket1->LastErrorMessage());
}

fw::String App::joinFailedMessage(const char* secondLine) const {
    return fw::String(fw::Text("Could not join multicast group! ") +
                      preference("mCastIP").ToText()) +
           fw::EndOfLine() + secondLine;
}

// Once per outage, and never from inside the watchdog's own action: a box open there would hold
// the timer until it is answered (a timer whose action still runs does not fire again).
void App::tellJoinFailed(const fw::String& message) {
    if (joinFailureTold_) {
        return;
    }
    joinFailureTold_ = true;
    fw::Timer::CallLater(0, [message] { fw::MsgBox(message); });
}

bool App::joinAlarmGroup() {
    // Start-up has made sure both are usable: a value that is not stands in for its default.
    port_ = fw::SaturateCast<std::int64_t>(fw::Val(preference("port").ToString()));
    group_ = preference("mCastIP").ToString();
    return joinNewSocket(kStartupRouterHops);
}

bool App::joinNewSocket(std::int64_t routerHops) {
    // The former socket is only released: closing a socket that already failed gains nothing.
    Socket1 = std::make_shared<Socket>();
    Socket1->Port(port_);
    Socket1->RouterHops(routerHops);
    Socket1->SendToSelf(true);
    Socket1->Connect();
    return Socket1->JoinMulticastGroup(group_);
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
    // The group and port in use, those the preferences gave; tried again at every run until
    // the join holds.
    if (joinNewSocket(kWatchdogRouterHops)) {
        joinFailureTold_ = false;
        fw::DebugLog("Joined multicast group " + group_);
        return;
    }
    logJoinFailed();
    tellJoinFailed("Could not join multicast group!");
}

bool App::IsEventImplemented(const fw::String& eventName) const {
    return fw::_RuntimeIsEventHandled(this, "App", eventName, true);
}

} // namespace tallybell
