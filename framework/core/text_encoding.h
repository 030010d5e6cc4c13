#pragma once

#include <string>

namespace fw {

/// A text encoding; strings carry one, or none for raw bytes.
class TextEncoding {
public:
    explicit TextEncoding(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

    /// The UTF-8 encoding (one shared instance).
    static const TextEncoding* UTF8();

private:
    std::string name_;
};

inline const TextEncoding* TextEncoding::UTF8() {
    static const TextEncoding utf8("UTF-8");
    return &utf8;
}

} // namespace fw
