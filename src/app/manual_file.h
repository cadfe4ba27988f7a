#pragma once

#include <filesystem>

namespace vemra {

// The manual's file name, the same in the build tree and when installed.
inline constexpr const char* kManualFileName = "README.md";

// The manual for the program in `programFolder`: beside the program (the
// build tree copies it there), else in ../share/doc/vemra/ from that folder
// (the installed layout). Empty when neither place holds it.
std::filesystem::path findManual(const std::filesystem::path& programFolder);

// The user guide ヘルプ opens: guide/index.html beside the program (the build
// tree copies docs/guide there), else ../share/doc/vemra/guide/ from it.
// Empty when neither place holds it.
std::filesystem::path findUserGuide(const std::filesystem::path& programFolder);

} // namespace vemra
