#include "views/window_placement.h"

#include "settings/settings_store.h"

namespace vemra {
namespace {
constexpr const char* kSection = "WindowPlacement";
} // namespace

std::optional<WindowPlacement> WindowPlacement::load(SettingsStore& settings) {
    if (settings.getText(kSection, "flags", "").empty()) {
        return std::nullopt;
    }
    WindowPlacement placement;
    placement.flags = settings.getInt(kSection, "flags", 0);
    placement.showCmd = settings.getInt(kSection, "showCmd", kShowNormal);
    placement.minPosition = readPair(settings.getText(kSection, "ptMinPosition", "-1,-1"));
    placement.maxPosition = readPair(settings.getText(kSection, "ptMaxPosition", "-1,-1"));
    placement.normalPosition = readRect(settings.getText(kSection, "rcNormalPosition", ""));
    return placement;
}

void WindowPlacement::save(SettingsStore& settings) const {
    SettingsStore::Batch batch(settings);
    settings.putInt(kSection, "flags", flags);
    settings.putInt(kSection, "showCmd", showCmd);
    settings.putText(kSection, "ptMinPosition", formatPair(minPosition));
    settings.putText(kSection, "ptMaxPosition", formatPair(maxPosition));
    settings.putText(kSection, "rcNormalPosition", formatRect(normalPosition));
}

} // namespace vemra
