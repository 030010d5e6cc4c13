#pragma once

#include "framework/core/string.h"

#include <exception>
#include <functional>
#include <initializer_list>
#include <string>

namespace fw {

class Object;

/// Runs fn(arg); gives Nil when it returns, the exception when it raised a RuntimeException.
/// Any other exception passes on.
using ExceptionHelper = std::exception_ptr (*)(void (*fn)(void*), void* arg);
std::exception_ptr _CallFunctionWithExceptionHandling(void (*fn)(void*), void* arg);
/// Installs the helper through which the framework runs every event handler.
void _RuntimeSetExceptionHelper(ExceptionHelper helper);

/// The handling of an exception that nothing caught: debug log and system log; the loop goes on.
void _UnhandledException(const std::exception& e);
void _UnhandledException(std::exception_ptr e);

/// Records which events a class handles (for IsEventImplemented).
void RegisterClassEvents(const std::string& className, std::initializer_list<const char*> events,
                         bool user = true);
/// Whether the class named className handles eventName; user selects the user-event table.
bool _RuntimeIsEventHandled(const Object* self, const String& className, const String& eventName,
                            bool user);

/// Runs an event handler through the exception helper: an exception that escapes it reaches
/// _UnhandledException, and the caller (the event loop) goes on.
void RaiseEvent(const std::function<void()>& handler);

} // namespace fw
