#include "views/window_placement.h"

#include "settings/settings_store.h"

namespace vemra {
std::optional<WindowPlacement> WindowPlacement::load(SettingsStore& settings, const char* section) {
    if (settings.getText(section, "flags", "").empty()) {
        return std::nullopt;
    }
    WindowPlacement placement;
    placement.flags = settings.getInt(section, "flags", 0);
    placement.showCmd = settings.getInt(section, "showCmd", kShowNormal);
    placement.minPosition = readPair(settings.getText(section, "ptMinPosition", "-1,-1"));
    placement.maxPosition = readPair(settings.getText(section, "ptMaxPosition", "-1,-1"));
    placement.normalPosition = readRect(settings.getText(section, "rcNormalPosition", ""));
    return placement;
}

void WindowPlacement::save(SettingsStore& settings, const char* section) const {
    SettingsStore::Batch batch(settings);
    settings.putInt(section, "flags", flags);
    settings.putInt(section, "showCmd", showCmd);
    settings.putText(section, "ptMinPosition", formatPair(minPosition));
    settings.putText(section, "ptMaxPosition", formatPair(maxPosition));
    settings.putText(section, "rcNormalPosition", formatRect(normalPosition));
}

} // namespace vemra
