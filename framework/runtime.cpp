#include "framework/runtime.h"

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/menu_qt.h"
#include "framework/quit_signals.h"

#include <QApplication>
#include <QTimer>

#include <map>
#include <set>
#include <vector>

namespace fw {

namespace {

struct RuntimeState {
    std::vector<std::function<void()>> initializers;
    ExceptionHelper exceptionHelper = nullptr;
    std::shared_ptr<Application> app;
    std::map<std::string, std::set<std::string>> userEvents;
    std::map<std::string, std::set<std::string>> plainEvents;
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

void callStdFunction(void* fn) {
    (*static_cast<const std::function<void()>*>(fn))();
}

std::string describe(const std::exception& e) {
    if (const auto* rt = dynamic_cast<const RuntimeException*>(&e)) {
        return std::string(rt->TypeName()) + ": " + rt->Message();
    }
    return std::string("std::exception: ") + e.what();
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

std::exception_ptr _CallFunctionWithExceptionHandling(void (*fn)(void*), void* arg) {
    try {
        fn(arg);
        return nullptr;
    } catch (const RuntimeException&) {
        return std::current_exception();
    }
}

void _RuntimeSetExceptionHelper(ExceptionHelper helper) {
    state().exceptionHelper = helper;
}

void RaiseEvent(const std::function<void()>& handler) {
    ExceptionHelper helper = state().exceptionHelper;
    if (!helper) {
        helper = &_CallFunctionWithExceptionHandling;
    }
    try {
        if (std::exception_ptr raised =
                helper(&callStdFunction, const_cast<void*>(static_cast<const void*>(&handler)))) {
            _UnhandledException(raised);
        }
    } catch (...) {
        _UnhandledException(std::current_exception());
    }
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

void _UnhandledException(const std::exception& e) {
    const String report("Unhandled " + describe(e));
    DebugLog(report);
    System::Log(System::LogLevelError, report);
}

void _UnhandledException(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& caught) {
        _UnhandledException(caught);
    } catch (...) {
        const String report("Unhandled exception of unknown type");
        DebugLog(report);
        System::Log(System::LogLevelError, report);
    }
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

void RegisterClassEvents(const std::string& className, std::initializer_list<const char*> events,
                         bool user) {
    auto& table = user ? state().userEvents : state().plainEvents;
    auto& handled = table[className];
    for (const char* event : events) {
        handled.insert(event);
    }
}

ClassEvents::ClassEvents(std::string className, std::initializer_list<const char*> events) {
    RegisterInitializer([className = std::move(className),
                         names = std::vector<std::string>(events.begin(), events.end())] {
        for (const std::string& name : names) {
            RegisterClassEvents(className, {name.c_str()});
        }
    });
}

// The answer is per class, not per instance.
bool _RuntimeIsEventHandled(const Object*, const String& className, const String& eventName,
                            bool user) {
    const auto& table = user ? state().userEvents : state().plainEvents;
    const auto found = table.find(className.Bytes());
    return found != table.end() && found->second.count(eventName.Bytes()) > 0;
}

} // namespace fw
