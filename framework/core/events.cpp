#include "framework/core/events.h"

#include "framework/core/debug_log.h"
#include "framework/core/exceptions.h"

#include <map>
#include <set>
#include <utility>

namespace fw {

namespace {

struct EventState {
    ExceptionHelper exceptionHelper = nullptr;
    std::map<std::string, std::set<std::string>> userEvents;
    std::map<std::string, std::set<std::string>> plainEvents;
};

EventState& state() {
    static EventState s;
    return s;
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

void _UnhandledException(const std::exception& e) {
    const String report("Unhandled " + describe(e));
    DebugLog(report);
    System::Log(System::LogLevelError, report);
}

void _UnhandledException(std::exception_ptr e) {
    try {
        std::rethrow_exception(std::move(e));
    } catch (const std::exception& caught) {
        _UnhandledException(caught);
    } catch (...) {
        const String report("Unhandled exception of unknown type");
        DebugLog(report);
        System::Log(System::LogLevelError, report);
    }
}

void RegisterClassEvents(const std::string& className, std::initializer_list<const char*> events,
                         bool user) {
    auto& table = user ? state().userEvents : state().plainEvents;
    auto& handled = table[className];
    for (const char* event : events) {
        handled.insert(event);
    }
}

// The answer is per class, not per instance.
bool _RuntimeIsEventHandled(const Object*, const String& className, const String& eventName,
                            bool user) {
    const auto& table = user ? state().userEvents : state().plainEvents;
    const auto found = table.find(className.Bytes());
    return found != table.end() && found->second.count(eventName.Bytes()) > 0;
}

} // namespace fw
