#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace vemra::cli {

// Removes a leading "--settings FILE" (or "--settings=FILE") from `args` and
// makes FILE the settings store of this run; without it the store is chosen as
// the program chooses it. Returns 0, or 2 after a usage error.
int takeSettingsOption(std::vector<std::string_view>& args);

// settings get SECTION KEY [DEFAULT] | set SECTION KEY VALUE | list [SECTION] | options
int runSettings(std::span<const std::string_view> args);

} // namespace vemra::cli
