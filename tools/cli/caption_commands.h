#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// caption FILE [--member NAME] FORMAT...: the file (or the archive member
// NAME of the archive FILE) identified through the registry, with its note,
// and each FORMAT expanded with the caption macros, one line each.
int runCaption(std::span<const std::string_view> args);

} // namespace vemra::cli
