#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// notes FOLDER: one line per note of the folder's note file: archive name,
// file name, note (escaped).
int runNotes(std::span<const std::string_view> args);
// note FILE --set TEXT (with \r, \n, \t and \\ escapes) | note FILE --clear
int runNote(std::span<const std::string_view> args);

} // namespace vemra::cli
