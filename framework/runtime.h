#pragma once

#include "framework/exceptions.h"
#include "framework/string.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace fw {

class Application;
class Object;

/// Sets up the runtime: the process-wide state the other operations rely on. From here on the
/// toolkit's own messages go to the system log at debug level, not to standard error.
void RuntimeInit();
/// Runs the initialisers registered with RegisterInitializer, in registration order.
void RuntimePerformInitializers();
/// Tears the toolkit down while the rest of the process still stands.
void RuntimePerformFinalizers();
/// The process exit status: the event loop's result, or 0 when it never ran.
std::int32_t RuntimeExit();

/// Adds a step to the initialiser list; for class tables and module globals.
void RegisterInitializer(std::function<void()> step);

/// Runs fn(arg); gives Nil when it returns, the exception when it raised a RuntimeException.
/// Any other exception passes on.
using ExceptionHelper = std::exception_ptr (*)(void (*fn)(void*), void* arg);
std::exception_ptr _CallFunctionWithExceptionHandling(void (*fn)(void*), void* arg);
/// Installs the helper through which the framework runs every event handler.
void _RuntimeSetExceptionHelper(ExceptionHelper helper);

/// Brings the toolkit up and calls lateStartup once it is ready.
void _RunFrameworkInitialization(void (*lateStartup)());
/// Raises the application's Open event and runs the event loop until the application ends.
void _RuntimeRun();
/// The handling of an exception that nothing caught: debug log and system log; the loop goes on.
void _UnhandledException(const std::exception& e);
void _UnhandledException(std::exception_ptr e);

void _SetSupportsHiDPI(bool on);
void _RuntimeInitExternalClasses();
void _InitPluginEntrypoints();

void _RuntimeRegisterAppObject(std::shared_ptr<Application> app);
std::shared_ptr<Application> _GetAppObject();
/// The application's name as the user sees it ("Tallybell").
std::string ApplicationName();

/// Records which events a class handles (for IsEventImplemented).
void RegisterClassEvents(const std::string& className, std::initializer_list<const char*> events,
                         bool user = true);
/// A class's user-event table, recorded when the initialisers run; one object at namespace scope
/// in the class's source is its whole registration.
class ClassEvents {
public:
    ClassEvents(std::string className, std::initializer_list<const char*> events);
};
/// Whether the class named className handles eventName; user selects the user-event table.
bool _RuntimeIsEventHandled(const Object* self, const String& className, const String& eventName,
                            bool user);

/// Runs an event handler through the exception helper: an exception that escapes it reaches
/// _UnhandledException, and the caller (the event loop) goes on.
void RaiseEvent(const std::function<void()>& handler);

} // namespace fw
