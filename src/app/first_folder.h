#pragma once

#include <string>

namespace vemra {

class CommandLineInfo;
class SettingsStore;

// What the choice of the first folder depends on besides the settings.
struct FirstFolderPlaces {
    std::string programFolder;    // what "$(ExeDir)" stands for
    std::string currentDirectory; // the process's working folder
};

// The folder (or archive, or picture) the main window opens with:
// - the command line's folder text, field 0 read as a field list, without a
//   trailing "/";
// - else KPDoc/HomeFolder ("$(ExeDir)" the program's folder, empty the
//   current directory), replaced by DrvView/Path when KPDoc/RestoreFolder is
//   on (default on), with the home folder as that key's default.
// A relative result is made absolute against the current directory; an
// empty result means "no folder" (an empty document).
std::string chooseFirstFolder(const CommandLineInfo& commandLine, SettingsStore& settings,
                              const FirstFolderPlaces& places);

// The running process's places.
FirstFolderPlaces currentFirstFolderPlaces();

} // namespace vemra
