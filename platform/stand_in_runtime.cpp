// The stand-in backend: a tiny object runtime with just the classes and selectors the
// application sends, on platforms without the Apple runtime.
#ifndef __APPLE__

#include "platform/stand_in_runtime.h"

#include "framework/gui/about_panel.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

namespace platform {

struct RuntimeObject {
    std::string className;
    bool isClass = false;
    long retainCount = 1;
    std::string text; // a string's contents
};

struct RuntimeSelector {
    std::string name;
};

namespace {

using standin::Argument;
using standin::Record;

constexpr const char* kProcessInfoClass = "NSProcessInfo";
constexpr const char* kApplicationClass = "NSApplication";
constexpr const char* kStringClass = "NSString";
constexpr const char* kActivityClass = "_NSActivityAssertion";

struct StandIn {
    // Objects are never freed: a reference kept past its last release stays recognisable, so a
    // message to it is recorded as sent to a deallocated object instead of reading freed memory.
    std::vector<std::unique_ptr<RuntimeObject>> objects;
    std::set<const RuntimeObject*> known;
    std::map<std::string, std::unique_ptr<RuntimeSelector>, std::less<>> selectors;
    std::map<std::string, id, std::less<>> classes;
    id processInfo = nullptr;
    id application = nullptr;
    std::vector<standin::Activity> activities;
    std::vector<Record> journal;

    id make(std::string className, bool isClass = false) {
        objects.push_back(std::make_unique<RuntimeObject>());
        RuntimeObject* object = objects.back().get();
        object->className = std::move(className);
        object->isClass = isClass;
        known.insert(object);
        return object;
    }

    StandIn() {
        for (const char* name : {kProcessInfoClass, kApplicationClass}) {
            classes[name] = make(name, true);
        }
    }

    bool isKnown(id object) const { return object && known.count(object) > 0; }
    bool isLive(id object) const { return isKnown(object) && object->retainCount > 0; }
};

StandIn& standIn() {
    static StandIn s;
    return s;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string describeObject(id object) {
    if (!object) {
        return "nil";
    }
    StandIn& s = standIn();
    if (!s.isKnown(object)) {
        return "<unknown object>";
    }
    if (object->isClass) {
        return object->className;
    }
    if (object->retainCount <= 0) {
        return "<deallocated " + object->className + ">";
    }
    if (object->className == kStringClass) {
        return "@" + quoted(object->text);
    }
    return "<" + object->className + ">";
}

Argument objectArgument(id object) {
    Argument argument;
    argument.isObject = true;
    argument.object = object;
    if (standIn().isLive(object) && object->className == kStringClass) {
        argument.text = object->text;
    }
    argument.description = describeObject(object);
    return argument;
}

Argument unsignedArgument(std::uint64_t value) {
    Argument argument;
    argument.value = value;
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%" PRIx64, value);
    argument.description = hex;
    return argument;
}

Record messageRecord(id receiver, SEL selector, std::vector<Argument> arguments) {
    Record record;
    record.kind = Record::Kind::Message;
    record.name = selector ? selector->name : std::string();
    record.receiver = receiver;
    if (standIn().isKnown(receiver)) {
        record.receiverClass = receiver->className;
        record.toClass = receiver->isClass;
        record.toDeallocated = receiver->retainCount <= 0;
    }
    record.arguments = std::move(arguments);
    return record;
}

// Instances only: class objects are not reference counted.
void releaseObject(id object) {
    if (!object->isClass && object->retainCount > 0) {
        --object->retainCount;
    }
}

id beginActivity(std::uint64_t options, id reason) {
    StandIn& s = standIn();
    // The process-info object holds the token until endActivity: (the caller gets no reference).
    id token = s.make(kActivityClass);
    const bool isString = s.isLive(reason) && reason->className == kStringClass;
    s.activities.push_back({token, options, isString ? reason->text : std::string(), false});
    return token;
}

void endActivity(id token) {
    for (auto& activity : standIn().activities) {
        if (activity.token == token && !activity.ended) {
            activity.ended = true;
            releaseObject(token);
            return;
        }
    }
}

id sharedInstance(id& slot, const char* className) {
    if (!slot) {
        slot = standIn().make(className);
    }
    return slot;
}

using Arguments = std::vector<Argument>;

// One method of the stand-in, chosen by the receiver's class (nullptr: any instance), by class
// or instance side, by selector and by the number of arguments sent.
struct Method {
    const char* className;
    bool onClass;
    const char* selector;
    std::size_t arguments;
    id (*run)(id receiver, const Arguments& arguments);
};

const Method kMethods[] = {
    {nullptr, false, "retain", 0,
     [](id receiver, const Arguments&) {
         ++receiver->retainCount;
         return receiver;
     }},
    {nullptr, false, "release", 0,
     [](id receiver, const Arguments&) -> id {
         releaseObject(receiver);
         return nullptr;
     }},
    {kProcessInfoClass, true, "processInfo", 0,
     [](id, const Arguments&) { return sharedInstance(standIn().processInfo, kProcessInfoClass); }},
    {kProcessInfoClass, false, "beginActivityWithOptions:reason:", 2,
     [](id, const Arguments& args) { return beginActivity(args[0].value, args[1].object); }},
    {kProcessInfoClass, false, "endActivity:", 1,
     [](id, const Arguments& args) -> id {
         endActivity(args[0].object);
         return nullptr;
     }},
    {kApplicationClass, true, "sharedApplication", 0,
     [](id, const Arguments&) { return sharedInstance(standIn().application, kApplicationClass); }},
    {kApplicationClass, false, "orderFrontStandardAboutPanel:", 1,
     [](id, const Arguments&) -> id {
         fw::ShowAboutPanel();
         return nullptr;
     }},
};

id perform(id receiver, const Record& message) {
    for (const Method& method : kMethods) {
        if (receiver->isClass == method.onClass && message.name == method.selector &&
            message.arguments.size() == method.arguments &&
            (!method.className || receiver->className == method.className)) {
            return method.run(receiver, message.arguments);
        }
    }
    return nullptr; // not a method of the stand-in: recorded, answered with nil
}

id send(id receiver, SEL selector, std::vector<Argument> arguments) {
    StandIn& s = standIn();
    const Record message = messageRecord(receiver, selector, std::move(arguments));
    s.journal.push_back(message);
    // Messaging nil, a reference never made here, or a deallocated object does nothing.
    if (!selector || !s.isLive(receiver)) {
        return nullptr;
    }
    return perform(receiver, message);
}

void record(Record::Kind kind, std::string name, id object = nullptr) {
    Record entry;
    entry.kind = kind;
    entry.name = std::move(name);
    entry.receiver = object;
    if (standIn().isKnown(object)) {
        entry.receiverClass = object->className;
        entry.toDeallocated = object->retainCount <= 0;
    }
    standIn().journal.push_back(std::move(entry));
}

std::string describeMessage(const Record& record) {
    std::string receiver;
    if (!record.receiver) {
        receiver = "nil";
    } else if (record.receiverClass.empty()) {
        receiver = "<unknown object>";
    } else {
        receiver = record.toDeallocated ? "<deallocated " + record.receiverClass + ">"
                                        : record.receiverClass;
    }
    std::string text =
        std::string(record.toClass ? "+[" : "-[") + receiver + " " + record.name + "]";
    for (const Argument& argument : record.arguments) {
        text += " " + argument.description;
    }
    return text;
}

} // namespace

Class NSClassFromString(const char* name) {
    const std::string className = name ? name : "";
    record(Record::Kind::ClassLookup, className);
    const auto& classes = standIn().classes;
    const auto found = classes.find(className);
    return found == classes.end() ? nullptr : found->second;
}

SEL sel_registerName(const char* name) {
    const std::string selectorName = name ? name : "";
    record(Record::Kind::SelectorRegistration, selectorName);
    if (!name) {
        return nullptr;
    }
    auto& slot = standIn().selectors[selectorName];
    if (!slot) {
        slot = std::make_unique<RuntimeSelector>(RuntimeSelector{selectorName});
    }
    return slot.get();
}

id objc_msgSend(id receiver, SEL selector) {
    return send(receiver, selector, {});
}

id objc_msgSend(id receiver, SEL selector, id argument) {
    return send(receiver, selector, {objectArgument(argument)});
}

id objc_msgSend(id receiver, SEL selector, std::uint64_t options, id argument) {
    return send(receiver, selector, {unsignedArgument(options), objectArgument(argument)});
}

id NewSystemString(std::string_view utf8) {
    id string = standIn().make(kStringClass);
    string->text = std::string(utf8);
    record(Record::Kind::StringMade, string->text, string);
    return string;
}

void ReleaseSystemString(id string) {
    if (!string) {
        return;
    }
    // Only a live string is released here: anything else passed in is recorded and left alone.
    const bool isString = standIn().isLive(string) && string->className == kStringClass;
    record(Record::Kind::StringReleased, isString ? string->text : std::string(), string);
    if (isString) {
        releaseObject(string);
    }
}

namespace standin {

const std::vector<Record>& Journal() {
    return standIn().journal;
}

std::vector<Record> Messages() {
    std::vector<Record> messages;
    for (const Record& entry : standIn().journal) {
        if (entry.kind == Record::Kind::Message) {
            messages.push_back(entry);
        }
    }
    return messages;
}

void ClearJournal() {
    standIn().journal.clear();
}

std::string Describe(const Record& record) {
    switch (record.kind) {
    case Record::Kind::ClassLookup:
        return "NSClassFromString(" + quoted(record.name) + ")";
    case Record::Kind::SelectorRegistration:
        return "sel_registerName(" + quoted(record.name) + ")";
    case Record::Kind::StringMade:
        return "NewSystemString(" + quoted(record.name) + ")";
    case Record::Kind::StringReleased:
        return "ReleaseSystemString(" + quoted(record.name) + ")";
    case Record::Kind::Message:
        break;
    }
    return describeMessage(record);
}

const std::vector<Activity>& Activities() {
    return standIn().activities;
}

long RetainCount(id object) {
    return standIn().isKnown(object) ? object->retainCount : -1;
}

} // namespace standin

} // namespace platform

#endif // !__APPLE__
