#include "platform/install_layout.h"

#include <system_error>

namespace vemra {

namespace {

// The build passes the install rules' own places, relative to the prefix.
constexpr const char* kBinDir = VEMRA_INSTALL_BINDIR;

const char* relativePlace(InstalledFolder folder) {
    switch (folder) {
    case InstalledFolder::Plugins:
        return VEMRA_INSTALL_PLUGINDIR;
    case InstalledFolder::Helpers:
        return VEMRA_INSTALL_HELPERDIR;
    case InstalledFolder::Data:
        return VEMRA_INSTALL_DATADIR;
    case InstalledFolder::Documents:
        return VEMRA_INSTALL_DOCDIR;
    }
    return "";
}

} // namespace

std::filesystem::path installedFolder(InstalledFolder folder,
                                      const std::filesystem::path& programFolder) {
    namespace fs = std::filesystem;
    // Up from the program's folder once per part of the relative program
    // folder ("bin" is one) gives the prefix.
    fs::path prefix = programFolder;
    for (const fs::path& part : fs::path(kBinDir)) {
        if (!part.empty() && part != ".") {
            prefix /= "..";
        }
    }
    return (prefix / relativePlace(folder)).lexically_normal();
}

std::filesystem::path shippedDefinitionFolder(const std::filesystem::path& programFolder,
                                              const std::filesystem::path& name) {
    namespace fs = std::filesystem;
    const fs::path beside = (programFolder / name).lexically_normal();
    std::error_code error;
    if (fs::is_directory(beside, error)) {
        return beside;
    }
    const fs::path installed = installedFolder(InstalledFolder::Data, programFolder) / name;
    return fs::is_directory(installed, error) ? installed : beside;
}

} // namespace vemra
