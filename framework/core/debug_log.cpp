#include "framework/core/debug_log.h"

#include <algorithm>
#include <cstdio>
#include <syslog.h>

namespace fw {

namespace {
DebugLogCapture* activeDebugCapture = nullptr;
SystemLogCapture* activeSystemCapture = nullptr;

int syslogPriority(std::int64_t level) {
    const std::int64_t clamped =
        std::clamp<std::int64_t>(level, System::LogLevelEmergency, System::LogLevelDebug);
    return static_cast<int>(clamped - System::LogLevelEmergency); // LOG_EMERG is 0 .. LOG_DEBUG 7
}
} // namespace

void DebugLog(const String& line) {
    if (activeDebugCapture) {
        activeDebugCapture->lines_.push_back(line.Bytes());
    }
    std::string out = line.Bytes();
    out.push_back('\n');
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

void System::Log(std::int64_t level, const String& message) {
    if (activeSystemCapture) {
        activeSystemCapture->entries_.emplace_back(level, message.Bytes());
        return;
    }
    openlog("Tallybell", LOG_PID, LOG_USER);
    syslog(syslogPriority(level), "%s", message.Bytes().c_str());
}

DebugLogCapture::DebugLogCapture() : previous_(activeDebugCapture) {
    activeDebugCapture = this;
}

DebugLogCapture::~DebugLogCapture() {
    activeDebugCapture = previous_;
}

bool DebugLogCapture::Contains(const std::string& line) const {
    return Count(line) > 0;
}

std::size_t DebugLogCapture::Count(const std::string& line) const {
    return static_cast<std::size_t>(std::count(lines_.begin(), lines_.end(), line));
}

SystemLogCapture::SystemLogCapture() : previous_(activeSystemCapture) {
    activeSystemCapture = this;
}

SystemLogCapture::~SystemLogCapture() {
    activeSystemCapture = previous_;
}

} // namespace fw
