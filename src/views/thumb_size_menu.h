#pragma once

#include "platform/field_list.h"

#include <optional>
#include <string>
#include <vector>

namespace vemra {

class SettingsStore;

// The thumbnail-size drop-down of the tool bar: "現在値を記憶", the cell sizes
// remembered under MainFrame/ThumbsSize0..9 (most recent first), and
// "&%d 分割" for every column count from ThumbsFirst to ThumbsLast.
namespace thumb_size_menu {

inline constexpr int kRememberedCount = 10;
inline constexpr int kDivideBase = 8000;     // 8000 + N: divide into N columns
inline constexpr int kRemember = 8100;       // remember the current size
inline constexpr int kRememberedBase = 8101; // 8101 + n: remembered size n
// Column counts the divide ids can carry (8001..8099).
inline constexpr int kMaxColumns = 99;

// One item; id 0 is a separator.
struct Item {
    int id = 0;
    std::string text;
    friend bool operator==(const Item&, const Item&) = default;
};

// The ten stored texts, empty where nothing is stored.
std::vector<std::string> rememberedSizes(SettingsStore& settings);
// The menu; writes ThumbsFirst and ThumbsLast back as it reads them. The
// range is kept within 1..99 (the ids it can use), an inverted one is empty.
std::vector<Item> build(SettingsStore& settings);
// Stores `current` as ThumbsSize0 unless its "%d,%d" is already one of the
// ten; the others move down and the tenth drops off. True when it changed.
bool remember(SettingsStore& settings, IntPair current);
// The size stored for id 8101 + n; nullopt for an empty or missing entry.
std::optional<IntPair> rememberedSize(SettingsStore& settings, int id);

} // namespace thumb_size_menu
} // namespace vemra
