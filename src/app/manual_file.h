#pragma once

#include <filesystem>

namespace vemra {

// The manual's file name, the same in the build tree and when installed.
inline constexpr const char* kManualFileName = "README.md";

// The manual for the program in `programFolder`: beside the program (the
// build tree copies it there), else in the installed documentation folder
// (<prefix>/share/doc/vemra). Empty when neither place holds it.
std::filesystem::path findManual(const std::filesystem::path& programFolder);

// The user guide ヘルプ opens: guide/index.html beside the program (the build
// tree copies docs/guide there), else guide/ in the installed documentation
// folder. Empty when neither place holds it.
std::filesystem::path findUserGuide(const std::filesystem::path& programFolder);

} // namespace vemra
