#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vemra::cli {

// Makes `file` (the --settings option) the settings store of this run;
// without it the store is chosen as the program chooses it.
void useSettingsOption(const std::optional<std::string>& file);

// settings get SECTION KEY [DEFAULT] | set SECTION KEY VALUE | list [SECTION] | options
int runSettings(std::span<const std::string_view> args);

} // namespace vemra::cli
