#include "app/startup_sequence.h"

#include "app/app.h"
#include "app/ui/alarm_window.h"
#include "app/ui/main_menu_bar.h"
#include "framework/gui/runtime.h"

namespace tallybell {

namespace {
std::int32_t exitStatus = 0;
} // namespace

int main() {
    fw::RuntimeInit();
    fw::RuntimePerformInitializers();
    try {
        _Main();
    } catch (...) {
        // Only the unhandled-exception handler itself can throw here; nothing is left to tell.
    }
    fw::RuntimePerformFinalizers();
    exitStatus = fw::RuntimeExit();
    return exitStatus;
}

void _Main() {
    try {
        fw::_RuntimeSetExceptionHelper(&fw::_CallFunctionWithExceptionHandling);
        _EarlyStartup();
        fw::_RunFrameworkInitialization(&_LateStartup);
        fw::_RuntimeRun();
    } catch (const std::exception& e) {
        fw::_UnhandledException(e);
    }
}

void _EarlyStartup() {
    fw::_SetSupportsHiDPI(true);
    fw::_RuntimeInitExternalClasses();
    fw::_InitPluginEntrypoints();
    _InitFileTypes();
    _NewAppInstance();
    _ApplicationAddMenuHandlers();
}

void _InitFileTypes() {
    // The application declares no document or file types.
}

void _NewAppInstance() {
    auto app = std::make_shared<class App>();
    app->Constructor();
    app->_x_SetVersionData(1, 0, 0, 36, 0, "Brackenmoor Ltd", "1", fw::String());
    app->MenuBar(MainMenuBar());
    fw::_RuntimeRegisterAppObject(app);
}

void _ApplicationAddMenuHandlers() {
    class App& app = fw::Deref(App());
    app._AddMenuHandler("FileAbout", [&app] { return app._FileAbout_Action(); });
    app._AddMenuHandler("FileChangeName", [&app] { return app._FileChangeName_Action(); });
}

void _LateStartup() {
    _MakeDefaultView();
}

void _MakeDefaultView() {
    // Built hidden: the framework holds it from here on; it first shows on an alarm.
    Window1();
}

} // namespace tallybell
