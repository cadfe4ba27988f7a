#include "app/manual_file.h"

#include "platform/install_layout.h"

#include <system_error>

namespace vemra {

namespace {

// `name` beside the program, else in the installed documentation folder.
std::filesystem::path findDocument(const std::filesystem::path& programFolder,
                                   const std::filesystem::path& name) {
    namespace fs = std::filesystem;
    const fs::path places[] = {
        programFolder / name,
        installedFolder(InstalledFolder::Documents, programFolder) / name,
    };
    for (const fs::path& place : places) {
        std::error_code error;
        if (fs::is_regular_file(place, error)) {
            return place.lexically_normal();
        }
    }
    return {};
}

} // namespace

std::filesystem::path findManual(const std::filesystem::path& programFolder) {
    return findDocument(programFolder, kManualFileName);
}

std::filesystem::path findUserGuide(const std::filesystem::path& programFolder) {
    return findDocument(programFolder, std::filesystem::path("guide") / "index.html");
}

} // namespace vemra
