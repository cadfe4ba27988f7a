#include "app/plugin_folder.h"

#include "platform/file_status.h"
#include "platform/folder_listing.h"

namespace vemra {

std::string choosePluginFolder(const std::string& configured, const std::string& programFolder) {
    if (!configured.empty() && configured != "$(ExeDir)") {
        return configured;
    }
    std::string beside = programFolder;
    beside += "/plugins";
    if (enumerateFolder(programFolder, "*.spi").empty() && isExistingFolder(beside)) {
        return beside;
    }
    return programFolder;
}

} // namespace vemra
