#pragma once

namespace fw {

/// True while the system appearance is dark: the application palette's window colour is dark.
bool IsDarkMode();

/// Test hook: while alive, IsDarkMode answers as given instead of asking the palette.
class AppearanceOverride {
public:
    explicit AppearanceOverride(bool dark);
    ~AppearanceOverride();
    AppearanceOverride(const AppearanceOverride&) = delete;
    AppearanceOverride& operator=(const AppearanceOverride&) = delete;

private:
    friend bool IsDarkMode();
    bool dark_;
    AppearanceOverride* previous_;
};

} // namespace fw
