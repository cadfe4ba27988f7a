#pragma once

#include "document/caption_macros.h"
#include "document/external_apps.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class PictureSource;
class SettingsStore;

// One process to start for a registered application: the command line as
// the user would read it, split into the program and its arguments, and
// the folder it runs in.
struct LaunchCommand {
    std::string commandLine;
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
};

// Splits a command line into words at blanks; double quotes group blanks
// into a word and are dropped ("" inside quotes is no escape: paths never
// hold quotes). Unbalanced quotes run to the end.
std::vector<std::string> splitCommandLine(std::string_view line);

// The command as it starts every line: quoted when it holds a blank and is
// not quoted yet, so "/opt/My Viewer/view" stays one word.
std::string quotedCommand(const std::string& command);

// The processes `app` starts for `entries` (archive members are passed
// over): one per picture with launch-per-file on (none without plain
// pictures), else one with every picture's arguments (without arguments
// when no plain picture is there). The arguments and the run folder are the
// templates with each picture's caption macros expanded; a folder left
// empty is the program's own folder (found along PATH for a bare name).
std::vector<LaunchCommand> planLaunch(const ExternalApp& app,
                                      std::span<const PictureSource* const> entries,
                                      const CaptionEnvironment& environment = {});

// Starts one process, detached, with no handles of ours. Empty on success,
// else the system's reason.
using ProcessStarter = std::function<std::string(const LaunchCommand&)>;
std::string startDetachedProcess(const LaunchCommand& command);

// Starts the processes of planLaunch in order and stops at the first that
// fails: `failed` (may be empty) is told "%s\n\n[%s]" of the reason and
// the command line. The number started.
int launchExternalApp(const ExternalApp& app, std::span<const PictureSource* const> entries,
                      const ProcessStarter& start,
                      const std::function<void(const std::string&)>& failed,
                      const CaptionEnvironment& environment = {});

// Writes `apps` as the registration keeps them: entries 0 to the larger of
// `previousCount` and apps.size() - 1, those past the list emptied (title,
// command, arguments and folder empty, Dup 0), so a reader stops there.
void writeExternalApps(SettingsStore& store, std::span<const ExternalApp> apps, int previousCount);

} // namespace vemra
