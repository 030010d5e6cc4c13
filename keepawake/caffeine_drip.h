#pragma once

#include "framework/core/string.h"

#include <cstdint>

namespace tallybell {

/// Holds one operating-system process activity, begun by start and ended by stop.
/// Destroying the holder does not end its activity: it lasts until the process exits.
class caffeineDrip {
public:
    caffeineDrip() = default;
    // Two holders sharing one token would end the same activity twice.
    caffeineDrip(const caffeineDrip&) = delete;
    caffeineDrip& operator=(const caffeineDrip&) = delete;

    /// The shared process-info object, retained while held; 0 when none.
    std::int64_t cProcessInfo = 0;
    /// The running activity's token, retained while held; 0 when no activity runs.
    std::int64_t token = 0;
    fw::String Reason;
    bool isBackgroundTask = false;
    bool allowIdleSystemSleep = true;
    bool allowIdleDisplaySleep = true;
    bool allowSuddenTermination = true;
    bool allowAutomaticTermination = true;
    bool latencyCritical = false;

    virtual ~caffeineDrip();
    /// Begins the activity unless one is running.
    virtual void start();
    /// Ends the running activity and lets go of the token and the process-info object.
    virtual void stop();
    /// Whether an activity runs.
    virtual bool active() const;

private:
    std::uint64_t activityOptions() const;
};

} // namespace tallybell
