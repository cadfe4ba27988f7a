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

// Whether application `app` may run on a selection of `selected` entries:
// one process for several pictures is always possible; with two or more
// selected, only programs started once per picture are offered, since the
// others would get every picture on one command line they may not take.
bool externalAppAvailable(const ExternalApp& app, int selected);

} // namespace vemra
