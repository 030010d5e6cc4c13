#pragma once

#include "framework/core/object.h"
#include "framework/core/string.h"
#include "framework/core/text.h"

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace fw {

class Dictionary;
class Auto;

/// A JSON array as ParseJSON gives it.
using AutoArray = std::vector<Auto>;

/// A dynamic value: Nil, a boolean, a number, text, a string, a dictionary, an array or an object.
class Auto {
public:
    using Value = std::variant<std::monostate, bool, std::int64_t, double, Text, String,
                               std::shared_ptr<Dictionary>, std::shared_ptr<AutoArray>,
                               std::shared_ptr<Object>>;

    Auto() = default;
    Auto(bool b) : value_(b) {}
    Auto(int i) : value_(std::int64_t{i}) {}
    Auto(std::int64_t i) : value_(i) {}
    Auto(double d) : value_(d) {}
    Auto(Text t) : value_(std::move(t)) {}
    Auto(String s) : value_(std::move(s)) {}
    Auto(const char*) = delete; // say which: Text or String
    Auto(std::shared_ptr<Dictionary> d);
    Auto(std::shared_ptr<AutoArray> a);
    Auto(std::shared_ptr<Object> o);

    bool IsNil() const;
    bool IsText() const { return std::holds_alternative<Text>(value_); }
    bool IsString() const { return std::holds_alternative<String>(value_); }
    const Value& Raw() const { return value_; }

    /// Text and strings convert freely; integers as decimal digits, doubles in shortest
    /// round-trip form, booleans "True"/"False", Nil as empty; anything else raises
    /// TypeMismatchException.
    Text ToText() const;
    String ToString() const;
    /// The dictionary held, Nil when the value holds none.
    std::shared_ptr<Dictionary> ToDictionary() const;

    /// Same kind of value and equal; text and a string with the same bytes are equal.
    friend bool operator==(const Auto& a, const Auto& b);

private:
    Value value_;
};

} // namespace fw
