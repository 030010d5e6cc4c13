#include "framework/gui/property_list.h"

#include "framework/core/timer.h"

#include <bit>
#include <cstring>

namespace fw {

namespace {

constexpr char kSeparator = ' ';
constexpr std::uint8_t kLastFontUnit = static_cast<std::uint8_t>(FontUnit::Millimeter);

void appendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void appendValue(std::string& out, const PropertyValue& value) {
    std::visit(
        [&out](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::int64_t>) {
                appendLittleEndian(out, static_cast<std::uint64_t>(v), 8);
            } else if constexpr (std::is_same_v<V, bool>) {
                out.push_back(v ? '\1' : '\0');
            } else if constexpr (std::is_same_v<V, String>) {
                appendLittleEndian(out, v.Size(), 4);
                out += v.Bytes();
            } else if constexpr (std::is_same_v<V, Color>) {
                appendLittleEndian(out, v.Value(), 4);
            } else if constexpr (std::is_same_v<V, float>) {
                appendLittleEndian(out, std::bit_cast<std::uint32_t>(v), 4);
            } else {
                out.push_back(static_cast<char>(v));
            }
        },
        value);
}

// Reads a list front to back; every read is checked against what is left.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}

    bool AtEnd() const { return pos_ == bytes_.size(); }

    std::string Name() {
        const auto blank = bytes_.find(kSeparator, pos_);
        if (blank == std::string::npos) {
            throw InvalidArgumentException("Property list ends inside a property name (at byte " +
                                           std::to_string(pos_) + ")");
        }
        std::string name = bytes_.substr(pos_, blank - pos_);
        if (name.empty()) {
            throw InvalidArgumentException("Property list has an empty property name (at byte " +
                                           std::to_string(pos_) + ")");
        }
        pos_ = blank + 1;
        return name;
    }

    PropertyValue Value(PropertyType type, const std::string& name) {
        switch (type) {
        case PropertyType::Int64:
            return static_cast<std::int64_t>(LittleEndian(8, name));
        case PropertyType::Boolean:
            return Boolean(name);
        case PropertyType::String:
            return StringValue(name);
        case PropertyType::Color:
            return Color(static_cast<std::uint32_t>(LittleEndian(4, name)));
        case PropertyType::Single:
            return std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndian(4, name)));
        case PropertyType::FontUnit:
            return FontUnitValue(name);
        }
        throw InvalidArgumentException("Property \"" + name + "\" has an unknown type");
    }

private:
    void Need(std::size_t count, const std::string& name) const {
        const std::size_t left = bytes_.size() - pos_;
        if (count > left) {
            throw InvalidArgumentException("Property list ends inside the value of \"" + name +
                                           "\" (needs " + std::to_string(count) + " bytes, " +
                                           std::to_string(left) + " left)");
        }
    }

    std::uint8_t Byte(const std::string& name) {
        Need(1, name);
        return static_cast<std::uint8_t>(bytes_[pos_++]);
    }

    std::uint64_t LittleEndian(int count, const std::string& name) {
        Need(static_cast<std::size_t>(count), name);
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            value |= std::uint64_t(static_cast<std::uint8_t>(bytes_[pos_ + i])) << (8 * i);
        }
        pos_ += static_cast<std::size_t>(count);
        return value;
    }

    bool Boolean(const std::string& name) {
        const std::uint8_t b = Byte(name);
        if (b > 1) {
            throw InvalidArgumentException("Property \"" + name + "\" holds " + std::to_string(b) +
                                           ", not a Boolean (0 or 1)");
        }
        return b == 1;
    }

    String StringValue(const std::string& name) {
        const auto count = static_cast<std::size_t>(LittleEndian(4, name));
        Need(count, name);
        String value(bytes_.substr(pos_, count));
        pos_ += count;
        return value;
    }

    FontUnit FontUnitValue(const std::string& name) {
        const std::uint8_t b = Byte(name);
        if (b > kLastFontUnit) {
            throw InvalidArgumentException("Property \"" + name + "\" holds " + std::to_string(b) +
                                           ", not a font unit");
        }
        return static_cast<FontUnit>(b);
    }

    const std::string& bytes_;
    std::size_t pos_ = 0;
};

const PropertyRegistry& registryOf(Object& target) {
    if (const auto* configured = dynamic_cast<const PropertyTarget*>(&target)) {
        return configured->properties();
    }
    if (dynamic_cast<const Timer*>(&target)) {
        return TimerProperties();
    }
    throw InvalidArgumentException("This object takes no property list");
}

} // namespace

void PropertyRegistry::Add(std::string name, PropertyType type, Setter set) {
    entries_.insert_or_assign(std::move(name), Entry{type, std::move(set)});
}

const PropertyRegistry::Entry* PropertyRegistry::Find(std::string_view name) const {
    for (const PropertyRegistry* r = this; r; r = r->base_) {
        const auto found = r->entries_.find(name);
        if (found != r->entries_.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

const PropertyRegistry& TimerProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r;
        r.AddSetter("RunMode", &Timer::RunMode);
        r.AddSetter("Period", &Timer::Period);
        return r;
    }();
    return registry;
}

PropertyListBuilder& PropertyListBuilder::Add(std::string_view name, const PropertyValue& value) {
    bytes_ += name;
    bytes_ += kSeparator;
    appendValue(bytes_, value);
    return *this;
}

PropertyListBuilder& PropertyListBuilder::AddInt64(std::string_view name, std::int64_t value) {
    return Add(name, value);
}

PropertyListBuilder& PropertyListBuilder::AddBoolean(std::string_view name, bool value) {
    return Add(name, value);
}

PropertyListBuilder& PropertyListBuilder::AddString(std::string_view name, const String& value) {
    return Add(name, value);
}

PropertyListBuilder& PropertyListBuilder::AddColor(std::string_view name, Color value) {
    return Add(name, value);
}

PropertyListBuilder& PropertyListBuilder::AddSingle(std::string_view name, float value) {
    return Add(name, value);
}

PropertyListBuilder& PropertyListBuilder::AddFontUnit(std::string_view name, FontUnit value) {
    return Add(name, value);
}

String PropertyListBuilder::Build() const {
    return String::FromBytes(bytes_, nullptr);
}

std::vector<PropertyEntry> DecodePropertyList(const String& list,
                                              const PropertyRegistry& registry) {
    std::vector<PropertyEntry> entries;
    Reader reader(list.Bytes());
    while (!reader.AtEnd()) {
        std::string name = reader.Name();
        const auto* entry = registry.Find(name);
        if (!entry) {
            throw InvalidArgumentException("Unknown property \"" + name + "\" in property list");
        }
        PropertyValue value = reader.Value(entry->type, name);
        entries.push_back(PropertyEntry{std::move(name), std::move(value)});
    }
    return entries;
}

void _SetProperties(const std::shared_ptr<Object>& target, const String& list) {
    Object& object = Deref(target);
    const PropertyRegistry& registry = registryOf(object);
    for (const auto& entry : DecodePropertyList(list, registry)) {
        registry.Find(entry.name)->set(object, entry.value);
    }
}

} // namespace fw
