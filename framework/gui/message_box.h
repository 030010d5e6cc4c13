#pragma once

#include "framework/core/string.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

/// A message box with an OK button that blocks no other window: it stays open until the user
/// dismisses it, while alarms, clicks and timers go on. Returns at once.
void MsgBox(const String& message);

/// MsgBox's box; returns at once with the code of its only button (1: OK), however it is
/// dismissed later.
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
    std::uint64_t order_;
};

/// Test hook: while alive, message boxes open and stay open, as for a user who has not answered
/// them yet, even under an outer MessageBoxAutoAnswer. Boxes still open when it goes are
/// answered then.
class MessageBoxLeftOpen {
public:
    MessageBoxLeftOpen();
    ~MessageBoxLeftOpen();
    MessageBoxLeftOpen(const MessageBoxLeftOpen&) = delete;
    MessageBoxLeftOpen& operator=(const MessageBoxLeftOpen&) = delete;

    /// The texts of the boxes open now, oldest first.
    std::vector<std::string> OpenTexts() const;
    /// Answers every open box with its OK button, as the user would.
    void DismissAll();

private:
    friend std::int64_t MessageBox(const String& message);
    MessageBoxLeftOpen* previous_;
    std::uint64_t order_;
};

} // namespace fw
