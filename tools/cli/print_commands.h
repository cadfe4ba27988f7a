#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// Prints the pictures given, in order, as the browser prints a selection,
// into a PDF through the printer's own painting:
//   print FILE... [--definition DEF.dps] --pdf OUT.pdf [--paper A4] [--landscape]
// Prints the PDF's name and its number of pages.
int runPrint(std::span<const std::string_view> args);

} // namespace vemra::cli
