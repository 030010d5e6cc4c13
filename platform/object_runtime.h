#pragma once

// Operating-system objects reached by name. On Apple platforms these forward to the real object
// runtime; elsewhere they reach the in-process stand-in (platform/stand_in_runtime.h), which
// implements just the classes and selectors the application sends.

#include <cstdint>
#include <string_view>

namespace platform {

struct RuntimeObject;
struct RuntimeSelector;

/// An object of the object runtime (a class object too); nullptr is nil.
using id = RuntimeObject*;
/// A class object.
using Class = id;
/// A registered selector.
using SEL = const RuntimeSelector*;

/// The class of that name, or nil when there is none.
Class NSClassFromString(const char* name);
/// The selector of that name, registering it on first use.
SEL sel_registerName(const char* name);

// The runtime's message send is one variadic entry that callers cast to the call's real type;
// these overloads are those typed casts, one per shape the application sends. Messaging nil
// does nothing and gives nil.
id objc_msgSend(id receiver, SEL selector);
id objc_msgSend(id receiver, SEL selector, id argument);
id objc_msgSend(id receiver, SEL selector, std::uint64_t options, id argument);

/// A new system string (NSString) holding the UTF-8 text, owned by the caller: hand it to
/// ReleaseSystemString when done. Bytes that are not UTF-8 are taken as Latin-1, so the
/// result is never nil.
id NewSystemString(std::string_view utf8);
/// Gives up the caller's reference to a string from NewSystemString; nil is ignored.
void ReleaseSystemString(id string);

/// An object reference as the 64-bit integer the application keeps it in (nil is 0), and back.
inline std::int64_t RawReference(id object) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(object));
}
inline id FromRawReference(std::int64_t raw) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the application keeps references as integers
    return reinterpret_cast<id>(static_cast<std::intptr_t>(raw));
}

} // namespace platform
