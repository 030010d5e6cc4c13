#include "keepawake/caffeine_drip.h"

#include "platform/object_runtime.h"

namespace tallybell {

namespace {

// Foundation's activity options.
constexpr std::uint64_t kBackground = 0xFF;
constexpr std::uint64_t kUserInitiated = 0xFFFFFF;
constexpr std::uint64_t kUserInitiatedAllowingIdleSystemSleep = 0xEFFFFF;
constexpr std::uint64_t kLatencyCritical = 0xFF00000000;
constexpr std::uint64_t kAutomaticTerminationDisabled = 0x8000;
constexpr std::uint64_t kIdleDisplaySleepDisabled = 0x10000000000;
constexpr std::uint64_t kSuddenTerminationDisabled = 0x4000;

// Selectors are registered anew on every use; nothing is cached.
platform::id send(std::int64_t receiver, const char* selector) {
    return platform::objc_msgSend(platform::FromRawReference(receiver),
                                  platform::sel_registerName(selector));
}

} // namespace

// The activity must outlive the holder, so nothing is ended or released here.
caffeineDrip::~caffeineDrip() = default;

void caffeineDrip::start() {
    if (active()) {
        return;
    }
    const platform::SEL processInfo = platform::sel_registerName("processInfo");
    const platform::Class processInfoClass = platform::NSClassFromString("NSProcessInfo");
    cProcessInfo = platform::RawReference(platform::objc_msgSend(processInfoClass, processInfo));
    send(cProcessInfo, "retain");

    const std::uint64_t options = activityOptions();

    const platform::SEL begin = platform::sel_registerName("beginActivityWithOptions:reason:");
    const platform::id reason = platform::NewSystemString(Reason.Bytes());
    token = platform::RawReference(
        platform::objc_msgSend(platform::FromRawReference(cProcessInfo), begin, options, reason));
    platform::ReleaseSystemString(reason);
    send(token, "retain");
}

void caffeineDrip::stop() {
    if (!active()) {
        return;
    }
    platform::objc_msgSend(platform::FromRawReference(cProcessInfo),
                           platform::sel_registerName("endActivity:"),
                           platform::FromRawReference(token));
    send(token, "release");
    token = 0;
    send(cProcessInfo, "release");
    cProcessInfo = 0;
}

bool caffeineDrip::active() const {
    return token != 0;
}

std::uint64_t caffeineDrip::activityOptions() const {
    std::uint64_t options = kBackground;
    if (!isBackgroundTask) {
        options = allowIdleSystemSleep ? kUserInitiatedAllowingIdleSystemSleep : kUserInitiated;
    }
    if (latencyCritical) {
        options |= kLatencyCritical;
    }
    if (!allowAutomaticTermination) {
        options |= kAutomaticTerminationDisabled;
    }
    if (!allowIdleDisplaySleep) {
        options |= kIdleDisplaySleepDisabled;
    }
    if (!allowSuddenTermination) {
        options |= kSuddenTerminationDisabled;
    }
    return options;
}

} // namespace tallybell
