#pragma once

#include "framework/core/string.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

/// A modal message box with an OK button; returns once it is dismissed.
void MsgBox(const String& message);

/// A modal message box; returns the code of the button that dismissed it (1: OK).
std::int64_t MessageBox(const String& message);

/// Test hook: while alive, message boxes are answered at once (OK) and their texts recorded.
class MessageBoxAutoAnswer {
public:
    MessageBoxAutoAnswer();
    ~MessageBoxAutoAnswer();
    MessageBoxAutoAnswer(const MessageBoxAutoAnswer&) = delete;
    MessageBoxAutoAnswer& operator=(const MessageBoxAutoAnswer&) = delete;

    const std::vector<std::string>& Texts() const { return texts_; }

private:
    friend std::int64_t MessageBox(const String& message);
    std::vector<std::string> texts_;
    MessageBoxAutoAnswer* previous_;
};

} // namespace fw
