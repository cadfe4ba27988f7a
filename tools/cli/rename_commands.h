#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// rename FILE NEWNAME: the picture and its note get the new name in the
// same folder.
int runRename(std::span<const std::string_view> args);
// serial-rename FILE... --format FMT [--first N]: one line per picture,
// "renamed OLD NEW" or "OLD -> NEW :failed rename".
int runSerialRename(std::span<const std::string_view> args);

} // namespace vemra::cli
