#pragma once

#include "platform/field_list.h"

#include <optional>

namespace vemra {

class SettingsStore;

// Where the main window was when the program last closed, in the stored form
// of section "WindowPlacement": flags and show command as "%d", the minimised
// and maximised positions as "%d,%d" and the normal rectangle as
// "%d,%d,%d,%d" (left, top, right, bottom).
struct WindowPlacement {
    // The show commands the stored value uses.
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int flags = 0;
    int showCmd = kShowNormal;
    IntPair minPosition{-1, -1};
    IntPair maxPosition{-1, -1};
    IntRect normalPosition;

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;

    // The stored placement; nullopt when "flags" is empty (never stored).
    // The viewer's frame keeps the same keys in a section of its own.
    static std::optional<WindowPlacement> load(SettingsStore& settings,
                                               const char* section = "WindowPlacement");
    void save(SettingsStore& settings, const char* section = "WindowPlacement") const;
};

} // namespace vemra
