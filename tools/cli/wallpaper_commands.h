#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// Makes a picture the desktop's wallpaper as the wallpaper dialog does:
//   wallpaper FILE [--mode 0-3] [--bright B] [--red R] [--green G] [--blue B]
//             [--screen WxH] [--dry-run]
// Options not given come from section "WallPaper" of the settings. The file
// goes to the user's data folder; --dry-run writes it and tells no desktop.
// Prints the file written.
int runWallpaper(std::span<const std::string_view> args);

} // namespace vemra::cli
