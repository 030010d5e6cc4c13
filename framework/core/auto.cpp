#include "framework/core/auto.h"

#include "framework/core/dictionary.h"

#include <array>
#include <charconv>
#include <string>

namespace fw {

namespace {

// A null reference of any kind is Nil, so it is stored as Nil and compares as Nil.
template <class T> Auto::Value holdOrNil(std::shared_ptr<T> ref) {
    if (!ref) {
        return std::monostate{};
    }
    return ref;
}

std::string integerText(std::int64_t i) {
    return std::to_string(i);
}

// Shortest text that reads back as the same double; independent of the C locale.
std::string doubleText(double d) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d);
    return std::string(buffer.data(), result.ptr);
}

struct TextConversion {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int64_t i) const { return integerText(i); }
    std::string operator()(double d) const { return doubleText(d); }
    std::string operator()(const Text& t) const { return t.Utf8(); }
    std::string operator()(const String& s) const { return s.Bytes(); }
    template <class T> std::string operator()(const std::shared_ptr<T>& ref) const {
        if (!ref) {
            return {};
        }
        throw TypeMismatchException("The value cannot be converted to text");
    }
};

// Text and strings share one bytes-based notion of equality.
const std::string* textBytes(const Auto::Value& v) {
    if (const auto* t = std::get_if<Text>(&v)) {
        return &t->Utf8();
    }
    if (const auto* s = std::get_if<String>(&v)) {
        return &s->Bytes();
    }
    return nullptr;
}

} // namespace

Auto::Auto(std::shared_ptr<Dictionary> d) : value_(holdOrNil(std::move(d))) {}

Auto::Auto(std::shared_ptr<AutoArray> a) : value_(holdOrNil(std::move(a))) {}

Auto::Auto(std::shared_ptr<Object> o) {
    // A dictionary passed as a plain object is still a dictionary to JSON and ToDictionary.
    if (auto d = std::dynamic_pointer_cast<Dictionary>(o)) {
        value_ = std::move(d);
    } else {
        value_ = holdOrNil(std::move(o));
    }
}

bool Auto::IsNil() const {
    return std::visit(
        [](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::monostate>) {
                return true;
            } else if constexpr (requires { v.get(); }) {
                return v == nullptr;
            } else {
                return false;
            }
        },
        value_);
}

Text Auto::ToText() const {
    return Text(std::visit(TextConversion{}, value_));
}

String Auto::ToString() const {
    if (const auto* s = std::get_if<String>(&value_)) {
        return *s; // keeps its encoding
    }
    return String(std::visit(TextConversion{}, value_));
}

std::shared_ptr<Dictionary> Auto::ToDictionary() const {
    if (const auto* d = std::get_if<std::shared_ptr<Dictionary>>(&value_)) {
        return *d;
    }
    return nullptr;
}

bool operator==(const Auto& a, const Auto& b) {
    const std::string* aText = textBytes(a.value_);
    const std::string* bText = textBytes(b.value_);
    if (aText || bText) {
        return aText && bText && *aText == *bText;
    }
    if (a.IsNil() || b.IsNil()) {
        return a.IsNil() && b.IsNil();
    }
    return a.value_ == b.value_;
}

} // namespace fw
