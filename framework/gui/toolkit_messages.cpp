#include "framework/core/debug_log.h"
#include "framework/gui/toolkit_messages_p.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace fw {

namespace {

// The latest warning: what ends a start is often explained only by the warning before it
// ("could not connect to display :5" before "no Qt platform plugin could be initialized").
QString& lastWarning() {
    static QString warning;
    return warning;
}

String firstLine(const QString& message) {
    return String(message.section(QLatin1Char('\n'), 0, 0).toStdString());
}

// Standard error is the debug log, which carries the system's own lines; the toolkit's remarks
// about its environment (no runtime folder, no sound server, what a platform plug-in lacks) are
// of use to whoever looks into the machine, not to the person reading that log. Only what stops
// the application is said there too, so that a failed start says why even without a system log.
void handleToolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    System::Log(System::LogLevelDebug, String(message.toStdString()));
    switch (type) {
    case QtWarningMsg:
        lastWarning() = message;
        return;
    case QtCriticalMsg:
        DebugLog(firstLine(message));
        return;
    case QtFatalMsg:
        if (!lastWarning().isEmpty()) {
            DebugLog(firstLine(lastWarning()));
        }
        DebugLog(firstLine(message));
        // The toolkit would abort, as if the application had crashed; nothing more can run.
        std::fflush(nullptr);
        std::_Exit(kToolkitFailureStatus);
    case QtDebugMsg:
    case QtInfoMsg:
        return;
    }
}

} // namespace

void RouteToolkitMessages() {
    qInstallMessageHandler(handleToolkitMessage);
}

} // namespace fw
