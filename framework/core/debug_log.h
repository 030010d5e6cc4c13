#pragma once

#include "framework/core/string.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fw {

/// Writes one line, unchanged, to the debug log (standard error).
void DebugLog(const String& line);

namespace System {
/// Log levels of System::Log, mapped to syslog's emergency..debug.
enum LogLevel : std::int64_t {
    LogLevelEmergency = 1000,
    LogLevelAlert = 1001,
    LogLevelCritical = 1002,
    LogLevelError = 1003,
    LogLevelWarning = 1004,
    LogLevelNotice = 1005,
    LogLevelInformation = 1006,
    LogLevelDebug = 1007,
};
/// One entry in the system log (syslog, ident "Tallybell").
void Log(std::int64_t level, const String& message);
} // namespace System

/// Test hook: while alive, debug-log lines are also kept here (they still reach standard error).
class DebugLogCapture {
public:
    DebugLogCapture();
    ~DebugLogCapture();
    DebugLogCapture(const DebugLogCapture&) = delete;
    DebugLogCapture& operator=(const DebugLogCapture&) = delete;

    const std::vector<std::string>& Lines() const { return lines_; }
    bool Contains(const std::string& line) const;
    std::size_t Count(const std::string& line) const;
    void Clear() { lines_.clear(); }

private:
    friend void DebugLog(const String& line);
    std::vector<std::string> lines_;
    DebugLogCapture* previous_;
};

/// Test hook: while alive, system-log entries are kept here instead of going to syslog.
class SystemLogCapture {
public:
    SystemLogCapture();
    ~SystemLogCapture();
    SystemLogCapture(const SystemLogCapture&) = delete;
    SystemLogCapture& operator=(const SystemLogCapture&) = delete;

    const std::vector<std::pair<std::int64_t, std::string>>& Entries() const { return entries_; }

private:
    friend void System::Log(std::int64_t level, const String& message);
    std::vector<std::pair<std::int64_t, std::string>> entries_;
    SystemLogCapture* previous_;
};

} // namespace fw
