#include "views/thumb_size_menu.h"

#include "settings/settings_store.h"

#include <algorithm>
#include <cstdio>

namespace vemra::thumb_size_menu {
namespace {

constexpr const char* kSection = "MainFrame";

std::string sizeKey(int n) {
    std::string key = "ThumbsSize";
    key += std::to_string(n);
    return key;
}

} // namespace

std::vector<std::string> rememberedSizes(SettingsStore& settings) {
    std::vector<std::string> sizes;
    sizes.reserve(kRememberedCount);
    for (int n = 0; n < kRememberedCount; ++n) {
        sizes.push_back(settings.getText(kSection, sizeKey(n), ""));
    }
    return sizes;
}

std::vector<Item> build(SettingsStore& settings) {
    std::vector<Item> items;
    items.push_back({kRemember, "現在値を記憶"});
    items.push_back({0, {}});
    const std::vector<std::string> sizes = rememberedSizes(settings);
    bool listed = false;
    for (int n = 0; n < kRememberedCount; ++n) {
        const std::string& stored = sizes[static_cast<std::size_t>(n)];
        if (stored.empty()) {
            continue;
        }
        const IntPair size = readPair(stored);
        char text[64];
        std::snprintf(text, sizeof text, "%dx%d", size.first, size.second);
        items.push_back({kRememberedBase + n, text});
        listed = true;
    }
    if (listed) {
        items.push_back({0, {}});
    }
    const int first = settings.getInt(kSection, "ThumbsFirst", 2);
    const int last = settings.getInt(kSection, "ThumbsLast", 16);
    {
        SettingsStore::Batch batch(settings);
        settings.putInt(kSection, "ThumbsFirst", first);
        settings.putInt(kSection, "ThumbsLast", last);
    }
    for (int n = std::max(first, 1); n <= std::min(last, kMaxColumns); ++n) {
        char text[64];
        std::snprintf(text, sizeof text, "&%d 分割", n);
        items.push_back({kDivideBase + n, text});
    }
    return items;
}

bool remember(SettingsStore& settings, IntPair current) {
    const std::string text = formatPair(current);
    std::vector<std::string> sizes = rememberedSizes(settings);
    if (std::find(sizes.begin(), sizes.end(), text) != sizes.end()) {
        return false;
    }
    SettingsStore::Batch batch(settings);
    // Every entry moves down by one, empty ones too: moving only the stored
    // ones would leave a copy behind wherever the list has a gap.
    for (int n = kRememberedCount - 1; n > 0; --n) {
        const std::string& above = sizes[static_cast<std::size_t>(n - 1)];
        if (above != sizes[static_cast<std::size_t>(n)]) {
            settings.putText(kSection, sizeKey(n), above);
        }
    }
    settings.putText(kSection, sizeKey(0), text);
    return true;
}

std::optional<IntPair> rememberedSize(SettingsStore& settings, int id) {
    const int n = id - kRememberedBase;
    if (n < 0 || n >= kRememberedCount) {
        return std::nullopt;
    }
    const std::string stored = settings.getText(kSection, sizeKey(n), "");
    if (stored.empty()) {
        return std::nullopt;
    }
    return readPair(stored);
}

} // namespace vemra::thumb_size_menu
