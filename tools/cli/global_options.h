#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra::cli {

// The options every command accepts, before or after the command name:
// "--settings FILE" (or "--settings=FILE"), "--plugins DIR" and "--set NAME".
// Given twice, the later one holds.
struct GlobalOptions {
    std::optional<std::string> settingsFile;
    std::optional<std::string> pluginDir;
    std::optional<std::string> pluginSet;
    std::string error; // why the line was not understood; empty when it was
};

// Takes the global options out of `args`, leaving the command and its own
// arguments in order. After "note", "--set TEXT" is the note's own option
// and stays. Nothing after "--" is taken (the "--" itself goes), so a
// command's value may look like one of these options.
GlobalOptions takeGlobalOptions(std::vector<std::string_view>& args);

} // namespace vemra::cli
