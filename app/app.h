#pragma once

#include "framework/core/string.h"
#include "framework/core/timer.h"
#include "framework/gui/application.h"

#include <memory>

namespace tallybell {

class AppTrayItem;
class Socket;

/// The application object: prepares the alarm road when it opens, tidies up when it closes,
/// serves About and Change Name.
class App : public fw::Application {
public:
    /// The one multicast alarm socket; the watchdog replaces it when it finds it disconnected.
    std::shared_ptr<Socket> Socket1;
    /// The status-bar item, when one is installed; start-up installs none.
    std::shared_ptr<AppTrayItem> Tray;
    /// Started at start-up unless another program holds the port, and kept for the rest of the
    /// process.
    std::shared_ptr<fw::Timer> watchdog;
    /// The user's name, sent after "ACK," in every acknowledgement.
    fw::String myName;

    void Event_Open() override;
    void Event_Close() override;
    bool _FileAbout_Action();
    bool _FileChangeName_Action();
    void watchdogRun(fw::Timer& timer);
    void Constructor();

    bool IsEventImplemented(const fw::String& eventName) const;

private:
    bool joinAlarmGroup();
    bool joinNewSocket(std::int64_t routerHops);
    void startWatchdog();
    void logJoinFailed() const;
    fw::String joinFailedMessage(const char* secondLine) const;
    void tellJoinFailed(const fw::String& message);

    // The alarm port and group in use: what the preferences gave at start-up.
    std::int64_t port_ = 0;
    fw::String group_;
    // The user was told that the join failed, and no join has held since.
    bool joinFailureTold_ = false;
};

/// The application object the framework holds, or Nil before start-up registered it.
std::shared_ptr<class App> App();

} // namespace tallybell
