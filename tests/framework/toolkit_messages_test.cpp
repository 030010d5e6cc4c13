#include "framework/core/debug_log.h"
#include "framework/gui/runtime.h"

#include <QtGlobal>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace fw {
namespace {

using Entry = std::pair<std::int64_t, std::string>;

// The toolkit's remarks are for whoever looks into the machine: the system log, at debug level.
// Standard error (the debug log) is the system's own; only what stops the application reaches
// it, one line each. (A fatal message ends the process: the executable's tests see that.)
TEST(ToolkitMessages, GoToTheSystemLogAtDebugLevelAndOnlyCriticalOnesToStandardError) {
    SystemLogCapture systemLog;
    DebugLogCapture debugLog;
    RuntimeInit();
    qDebug("a debug remark");
    qInfo("an informative remark");
    qWarning("a warning");
    qCritical("a critical message\nwith details");
    qInstallMessageHandler(nullptr);

    const std::vector<Entry> expected{{System::LogLevelDebug, "a debug remark"},
                                      {System::LogLevelDebug, "an informative remark"},
                                      {System::LogLevelDebug, "a warning"},
                                      {System::LogLevelDebug, "a critical message\nwith details"}};
    EXPECT_EQ(systemLog.Entries(), expected);
    EXPECT_EQ(debugLog.Lines(), std::vector<std::string>{"a critical message"});
}

} // namespace
} // namespace fw
