#pragma once

#include <string>
#include <vector>

namespace vemra {

class SettingsStore;

// A program the user registered to open pictures with (section "AppCall",
// keys "App%d\Title", "\Cmd", "\Argv", "\Dir", "\Dup").
struct ExternalApp {
    std::string title;
    std::string command;
    std::string arguments; // caption-macro template, one per picture
    std::string folder;    // run folder template; empty: the program's folder
    bool launchPerFile = false;
};

inline constexpr int kMaxExternalApps = 100;

// The registered programs in the user's order: reading stops at the first
// empty title, and after kMaxExternalApps entries.
std::vector<ExternalApp> readExternalApps(SettingsStore& store);

} // namespace vemra
