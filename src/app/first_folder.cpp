#include "app/first_folder.h"

#include "app/command_line.h"
#include "platform/field_list.h"
#include "platform/program_path.h"
#include "settings/settings_store.h"

#include <filesystem>

namespace vemra {
namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string absoluteFrom(const std::string& path, const std::string& base) {
    if (path.empty() || path.front() == '/' || base.empty()) {
        return path;
    }
    return (std::filesystem::path(base) / path).lexically_normal().string();
}

std::string homeFolder(SettingsStore& settings, const FirstFolderPlaces& places) {
    const std::string home = settings.getText("KPDoc", "HomeFolder", "");
    if (home == "$(ExeDir)") {
        return places.programFolder;
    }
    if (home.empty()) {
        return places.currentDirectory;
    }
    return home;
}

} // namespace

std::string chooseFirstFolder(const CommandLineInfo& commandLine, SettingsStore& settings,
                              const FirstFolderPlaces& places) {
    std::string folder;
    if (!commandLine.rawText().empty()) {
        // Paths are kept as the file system stores them, so there is no
        // long form to expand.
        folder = std::string(fieldAt(commandLine.rawText(), 0).value_or(""));
    } else {
        folder = homeFolder(settings, places);
        if (settings.getInt("KPDoc", "RestoreFolder", 1) != 0) {
            folder = settings.getText("DrvView", "Path", folder);
        }
    }
    return withoutTrailingSlash(absoluteFrom(folder, places.currentDirectory));
}

FirstFolderPlaces currentFirstFolderPlaces() {
    FirstFolderPlaces places;
    places.programFolder = executableDir();
    std::error_code error;
    places.currentDirectory = std::filesystem::current_path(error).string();
    return places;
}

} // namespace vemra
