#pragma once

// The application's start-up and run operations. Raising events and the handling of exceptions
// that escape them live in the core (events.h), which timers and sockets use without a GUI.
#include "framework/core/events.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fw {

class Application;

/// Sets up the runtime: the process-wide state the other operations rely on. From here on the
/// toolkit's own messages go to the system log at debug level; only those that stop the
/// application (critical, fatal) also reach standard error, and a fatal one ends the process
/// with a status of its own rather than an abort.
void RuntimeInit();
/// Runs the initialisers registered with RegisterInitializer, in registration order.
void RuntimePerformInitializers();
/// Tears the toolkit down while the rest of the process still stands.
void RuntimePerformFinalizers();
/// The process exit status: the event loop's result, or 0 when it never ran.
std::int32_t RuntimeExit();

/// Adds a step to the initialiser list; for class tables and module globals.
void RegisterInitializer(std::function<void()> step);

/// A class's user-event table, recorded when the initialisers run; one object at namespace scope
/// in the class's source is its whole registration.
class ClassEvents {
public:
    ClassEvents(std::string className, std::initializer_list<const char*> events);
};

/// Brings the toolkit up and calls lateStartup once it is ready.
void _RunFrameworkInitialization(void (*lateStartup)());
/// Raises the application's Open event and runs the event loop until the application ends. When
/// the display goes away meanwhile, the application quits in order as far as it can without one
/// and the process ends with status 1.
void _RuntimeRun();

void _SetSupportsHiDPI(bool on);
void _RuntimeInitExternalClasses();
void _InitPluginEntrypoints();

void _RuntimeRegisterAppObject(std::shared_ptr<Application> app);
std::shared_ptr<Application> _GetAppObject();
/// The application's name as the user sees it ("Tallybell").
std::string ApplicationName();

} // namespace fw
