#include "settings/option_table.h"

namespace vemra {

void loadOption(bool& value, SettingsStore& store, std::string_view section, std::string_view key) {
    value = store.getInt(section, key, value ? 1 : 0) != 0;
}

void loadOption(int& value, SettingsStore& store, std::string_view section, std::string_view key) {
    value = store.getInt(section, key, value);
}

void loadOption(std::string& value, SettingsStore& store, std::string_view section,
                std::string_view key) {
    value = store.getText(section, key, value);
}

void loadOption(ColourValue& value, SettingsStore& store, std::string_view section,
                std::string_view key) {
    value = colourFromSetting(store.getInt(section, key, static_cast<int>(value)));
}

} // namespace vemra
