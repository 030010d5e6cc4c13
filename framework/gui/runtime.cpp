#include "framework/gui/runtime.h"

#include "framework/core/debug_log.h"
#include "framework/gui/application.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/quit_signals_p.h"

#include <QApplication>
#include <QTimer>

#include <vector>

namespace fw {

namespace {

struct RuntimeState {
    std::vector<std::function<void()>> initializers;
    std::shared_ptr<Application> app;
    std::unique_ptr<QApplication> ownedQtApp;
    bool supportsHiDPI = false;
    std::int32_t exitStatus = 0;
};

RuntimeState& state() {
    static RuntimeState s;
    return s;
}

// The toolkit reads its arguments once; the application has no command line of its own.
int qtArgc = 1;
char qtArg0[] = "tallybell";
char* qtArgv[] = {qtArg0, nullptr};

void ensureQtApplication() {
    if (QCoreApplication::instance()) {
        return;
    }
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        state().supportsHiDPI ? Qt::HighDpiScaleFactorRoundingPolicy::PassThrough
                              : Qt::HighDpiScaleFactorRoundingPolicy::Round);
    state().ownedQtApp = std::make_unique<QApplication>(qtArgc, qtArgv);
}

// Standard error is the debug log, which carries the system's own lines; the toolkit's remarks
// about its environment (no runtime folder, no sound server, what a platform plug-in lacks) are
// of use to whoever looks into the machine, not to the person reading that log.
void logToolkitMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    System::Log(System::LogLevelDebug, String(message.toStdString()));
}

} // namespace

void RuntimeInit() {
    state().exitStatus = 0;
    qInstallMessageHandler(logToolkitMessage);
}

void RegisterInitializer(std::function<void()> step) {
    state().initializers.push_back(std::move(step));
}

void RuntimePerformInitializers() {
    for (const auto& step : state().initializers) {
        step();
    }
}

void RuntimePerformFinalizers() {
    // The toolkit goes down here, while the rest of the process still stands: left to static
    // destruction it would be torn down after parts of Qt it relies on.
    state().app.reset();
    state().ownedQtApp.reset();
}

std::int32_t RuntimeExit() {
    return state().exitStatus;
}

void _RunFrameworkInitialization(void (*lateStartup)()) {
    ensureQtApplication();
    QApplication::setQuitOnLastWindowClosed(false); // the Application decides (AutoQuit)
    QCoreApplication::setApplicationName(QString::fromStdString(ApplicationName()));
    if (state().app && state().app->MenuBar()) {
        InstallApplicationMenuBar(state().app->MenuBar());
    }
    if (lateStartup) {
        lateStartup();
    }
}

void _RuntimeRun() {
    ensureQtApplication();
    QuitOnTerminationSignals();
    if (auto app = state().app) {
        QTimer::singleShot(0, [app] { app->RaiseOpen(); });
    }
    state().exitStatus = static_cast<std::int32_t>(QCoreApplication::exec());
}

void _SetSupportsHiDPI(bool on) {
    state().supportsHiDPI = on;
}

void _RuntimeInitExternalClasses() {
    // The framework's own classes need no run-time registration in C++.
}

void _InitPluginEntrypoints() {
    // No plug-ins are loaded.
}

void _RuntimeRegisterAppObject(std::shared_ptr<Application> app) {
    state().app = std::move(app);
}

std::shared_ptr<Application> _GetAppObject() {
    return state().app;
}

std::string ApplicationName() {
    return "Tallybell";
}

ClassEvents::ClassEvents(std::string className, std::initializer_list<const char*> events) {
    RegisterInitializer([className = std::move(className),
                         names = std::vector<std::string>(events.begin(), events.end())] {
        for (const std::string& name : names) {
            RegisterClassEvents(className, {name.c_str()});
        }
    });
}

} // namespace fw
