// The Apple backend: each call forwards to the real object runtime or CoreFoundation.
#ifdef __APPLE__

#include "platform/object_runtime.h"

#include <CoreFoundation/CoreFoundation.h>
#include <objc/message.h>
#include <objc/runtime.h>

namespace platform {

namespace {

::id real(id object) {
    return reinterpret_cast<::id>(object);
}

::SEL real(SEL selector) {
    return reinterpret_cast<::SEL>(const_cast<RuntimeSelector*>(selector));
}

id ours(::id object) {
    return reinterpret_cast<id>(object);
}

id ours(const void* object) {
    return static_cast<id>(const_cast<void*>(object));
}

CFStringRef newString(std::string_view bytes, CFStringEncoding encoding) {
    return CFStringCreateWithBytes(kCFAllocatorDefault,
                                   reinterpret_cast<const UInt8*>(bytes.data()),
                                   static_cast<CFIndex>(bytes.size()), encoding, false);
}

} // namespace

Class NSClassFromString(const char* name) {
    return name ? reinterpret_cast<id>(objc_getClass(name)) : nullptr;
}

SEL sel_registerName(const char* name) {
    return name ? reinterpret_cast<SEL>(::sel_registerName(name)) : nullptr;
}

// The real entry must be called through a pointer of the call's exact type (arm64 passes
// variadic arguments differently), hence one cast per shape.
id objc_msgSend(id receiver, SEL selector) {
    using Send = ::id (*)(::id, ::SEL);
    return ours(reinterpret_cast<Send>(&::objc_msgSend)(real(receiver), real(selector)));
}

id objc_msgSend(id receiver, SEL selector, id argument) {
    using Send = ::id (*)(::id, ::SEL, ::id);
    return ours(
        reinterpret_cast<Send>(&::objc_msgSend)(real(receiver), real(selector), real(argument)));
}

id objc_msgSend(id receiver, SEL selector, std::uint64_t options, id argument) {
    using Send = ::id (*)(::id, ::SEL, std::uint64_t, ::id);
    return ours(reinterpret_cast<Send>(&::objc_msgSend)(real(receiver), real(selector), options,
                                                        real(argument)));
}

// CFString is toll-free bridged to NSString, so a CFString serves wherever NSString is asked.
id NewSystemString(std::string_view utf8) {
    CFStringRef string = newString(utf8, kCFStringEncodingUTF8);
    if (!string) {
        string = newString(utf8, kCFStringEncodingISOLatin1);
    }
    return ours(static_cast<const void*>(string));
}

void ReleaseSystemString(id string) {
    if (string) {
        CFRelease(static_cast<CFTypeRef>(string));
    }
}

} // namespace platform

#endif // __APPLE__
