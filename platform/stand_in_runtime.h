#pragma once

// The stand-in object runtime behind platform/object_runtime.h where there is no Apple runtime.
// It keeps a journal of every call made into it, in order, and the state of its objects, so
// tests can see what the application sent. Not available on Apple platforms.

#include "platform/object_runtime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::standin {

/// One argument of a message, as it was when sent.
struct Argument {
    bool isObject = false;
    id object = nullptr;
    std::uint64_t value = 0;
    /// A string object's contents at the time of sending (empty for anything else).
    std::string text;
    /// The argument as it was when sent: "0xefffff", "nil", "@\"text\"", "<NSProcessInfo>".
    std::string description;
};

/// One call into the runtime.
struct Record {
    enum class Kind { ClassLookup, SelectorRegistration, StringMade, StringReleased, Message };
    Kind kind = Kind::Message;
    /// The class or selector name looked up, the string's contents, or the message's selector.
    std::string name;
    /// The message's receiver, or the string made or released.
    id receiver = nullptr;
    /// The receiver's class name; empty for nil or for a reference the runtime never made.
    std::string receiverClass;
    bool toClass = false;
    /// Sent to an object whose reference count had already reached zero.
    bool toDeallocated = false;
    std::vector<Argument> arguments;
};

/// An activity begun with beginActivityWithOptions:reason:, ended or not.
struct Activity {
    id token = nullptr;
    std::uint64_t options = 0;
    std::string reason;
    bool ended = false;
};

const std::vector<Record>& Journal();
/// The journal's messages only.
std::vector<Record> Messages();
void ClearJournal();
/// A record in a readable form, e.g. "-[NSProcessInfo endActivity:] <_NSActivityAssertion>".
std::string Describe(const Record& record);

/// Every activity begun in this process, in order.
const std::vector<Activity>& Activities();
/// The object's reference count: 0 once deallocated, -1 for nil or a reference never made here.
long RetainCount(id object);

} // namespace platform::standin
