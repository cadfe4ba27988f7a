#include "app/plugin_folder.h"

#include "platform/file_status.h"
#include "platform/folder_listing.h"
#include "platform/install_layout.h"

namespace vemra {

std::string choosePluginFolder(const std::string& configured, const std::string& programFolder) {
    if (!configured.empty() && configured != "$(ExeDir)") {
        return configured;
    }
    if (!enumerateFolder(programFolder, "*.spi").empty()) {
        return programFolder;
    }
    std::string beside = programFolder;
    beside += "/plugins";
    if (isExistingFolder(beside)) {
        return beside;
    }
    const std::string installed = installedFolder(InstalledFolder::Plugins, programFolder).string();
    if (isExistingFolder(installed)) {
        return installed;
    }
    return programFolder;
}

} // namespace vemra
