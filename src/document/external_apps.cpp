#include "document/external_apps.h"

#include "settings/settings_store.h"

namespace vemra {

std::vector<ExternalApp> readExternalApps(SettingsStore& store) {
    constexpr std::string_view kSection = "AppCall";
    std::vector<ExternalApp> apps;
    for (int i = 0; i < kMaxExternalApps; ++i) {
        std::string prefix = "App";
        prefix += std::to_string(i);
        prefix += '\\';
        ExternalApp app;
        app.title = store.getText(kSection, prefix + "Title");
        if (app.title.empty())
            break;
        app.command = store.getText(kSection, prefix + "Cmd");
        app.arguments = store.getText(kSection, prefix + "Argv");
        app.folder = store.getText(kSection, prefix + "Dir");
        app.launchPerFile = store.getInt(kSection, prefix + "Dup", 0) != 0;
        apps.push_back(std::move(app));
    }
    return apps;
}

} // namespace vemra
