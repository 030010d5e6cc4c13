#include "framework/gui/runtime.h"

#include "framework/core/debug_log.h"
#include "framework/gui/application.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/message_box_p.h"
#include "framework/gui/quit_signals_p.h"
#include "framework/gui/runtime_p.h"
#include "framework/gui/toolkit_messages_p.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fw {

namespace {

struct RuntimeState {
    std::vector<std::function<void()>> initializers;
    std::shared_ptr<Application> app;
    std::unique_ptr<QApplication> ownedQtApp;
    bool supportsHiDPI = false;
    bool eventLoopRunning = false;
    bool displayLost = false;
    std::int32_t exitStatus = 0;
};

// Never destroyed: static teardown runs after the toolkit may have gone (or while it is still
// inside its event loop, when it ends the process itself), and must not touch it then.
RuntimeState& state() {
    static auto* s = new RuntimeState;
    return *s;
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

// The toolkit ends the process itself, with exit(), when the display goes away under its event
// loop. Quit in order as far as that goes without a display (the Close events commit what is
// open and log the end), then end here, before static teardown can touch the toolkit.
extern "C" void endWithoutDisplay() {
    if (!state().eventLoopRunning) {
        return; // an ordinary end: main returned
    }
    state().eventLoopRunning = false;
    state().displayLost = true;
    if (auto app = state().app) {
        app->Quit(kToolkitFailureStatus);
    }
    std::fflush(nullptr);
    std::_Exit(kToolkitFailureStatus);
}

// Registered just before the event loop first runs, so that it runs before the teardown of all
// that the toolkit has set up by then (exit handlers run in the reverse order of registration).
void endInOrderIfTheToolkitExits() {
    static const bool registered = std::atexit(endWithoutDisplay) == 0;
    if (!registered) {
        DebugLog("Cannot watch for the display going away");
    }
}

} // namespace

void RuntimeInit() {
    state().exitStatus = 0;
    RouteToolkitMessages();
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
    DiscardMessageBoxes();
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
    endInOrderIfTheToolkitExits();
    state().eventLoopRunning = true;
    state().exitStatus = static_cast<std::int32_t>(QCoreApplication::exec());
    state().eventLoopRunning = false;
}

bool DisplayLost() {
    return state().displayLost;
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
