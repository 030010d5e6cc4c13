#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/gui/color.h"
#include "framework/gui/font_unit.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace fw {

/// The kinds of value a property list carries; the list itself names none of them.
enum class PropertyType { Int64, Boolean, String, Color, Single, FontUnit };

/// One property's value, of the kind its registration names.
using PropertyValue = std::variant<std::int64_t, bool, String, Color, float, FontUnit>;

/// The kind a C++ value type stands for in a property list.
template <class V> constexpr PropertyType PropertyTypeOf() {
    if constexpr (std::is_same_v<V, std::int64_t>) {
        return PropertyType::Int64;
    } else if constexpr (std::is_same_v<V, bool>) {
        return PropertyType::Boolean;
    } else if constexpr (std::is_same_v<V, String>) {
        return PropertyType::String;
    } else if constexpr (std::is_same_v<V, Color>) {
        return PropertyType::Color;
    } else if constexpr (std::is_same_v<V, float>) {
        return PropertyType::Single;
    } else {
        static_assert(std::is_same_v<V, FontUnit>, "not a property value type");
        return PropertyType::FontUnit;
    }
}

/// One class's settable properties: name -> (type, setter); a subclass extends its base's.
class PropertyRegistry {
public:
    using Setter = std::function<void(Object& target, const PropertyValue& value)>;
    struct Entry {
        PropertyType type;
        Setter set;
    };

    explicit PropertyRegistry(const PropertyRegistry* base = nullptr) : base_(base) {}

    void Add(std::string name, PropertyType type, Setter set);

    /// Registers a setter method, e.g. AddSetter("Left", &Control::Left).
    // NOLINTNEXTLINE(performance-unnecessary-value-param): it is moved; the check misses that
    template <class T, class V> void AddSetter(std::string name, void (T::*setter)(V)) {
        using Plain = std::remove_cvref_t<V>;
        Add(std::move(name), PropertyTypeOf<Plain>(),
            [setter](Object& target, const PropertyValue& value) {
                (targetAs<T>(target).*setter)(std::get<Plain>(value));
            });
    }

    /// Registers a public field, e.g. AddField("Caption", &medButton::Caption).
    // NOLINTNEXTLINE(performance-unnecessary-value-param): it is moved; the check misses that
    template <class T, class V> void AddField(std::string name, V T::*field) {
        Add(std::move(name), PropertyTypeOf<V>(),
            [field](Object& target, const PropertyValue& value) {
                targetAs<T>(target).*field = std::get<V>(value);
            });
    }

    /// The entry for name, here or in a base; nullptr when no class in the chain has it.
    const Entry* Find(std::string_view name) const;

private:
    template <class T> static T& targetAs(Object& target) {
        auto* typed = dynamic_cast<T*>(&target);
        if (!typed) {
            throw IllegalCastException("A property was set on an object of another class");
        }
        return *typed;
    }

    const PropertyRegistry* base_;
    std::map<std::string, Entry, std::less<>> entries_;
};

/// An object configured by property lists: it names its class's registration.
class PropertyTarget {
public:
    virtual ~PropertyTarget() = default;
    virtual const PropertyRegistry& properties() const = 0;
};

/// The registration of fw::Timer: RunMode and Period.
const PropertyRegistry& TimerProperties();

/// Encodes a property list: entries one after another, each the name, one blank, the value.
class PropertyListBuilder {
public:
    PropertyListBuilder& Add(std::string_view name, const PropertyValue& value);
    PropertyListBuilder& AddInt64(std::string_view name, std::int64_t value);
    PropertyListBuilder& AddBoolean(std::string_view name, bool value);
    PropertyListBuilder& AddString(std::string_view name, const String& value);
    PropertyListBuilder& AddColor(std::string_view name, Color value);
    PropertyListBuilder& AddSingle(std::string_view name, float value);
    PropertyListBuilder& AddFontUnit(std::string_view name, FontUnit value);

    /// The list as a String of raw bytes.
    String Build() const;

private:
    std::string bytes_;
};

/// One decoded entry.
struct PropertyEntry {
    std::string name;
    PropertyValue value;
};

/// Decodes a whole list; registry gives each name's type. An unknown name, a malformed value
/// or a list that ends early raises InvalidArgumentException; nothing is read past the end.
std::vector<PropertyEntry> DecodePropertyList(const String& list, const PropertyRegistry& registry);

/// Applies a property list to a window or a control through its class's registration, in the
/// list's order. The list is decoded whole first, so a malformed one changes nothing.
void _SetProperties(const std::shared_ptr<Object>& target, const String& list);

} // namespace fw
