#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// The output products over the pictures given, in order, as the browser
// makes them of a selection:
//   catalog FILE... --definition DEF.kpm -o OUTDIR [--name catalog.htm]
//           [--per-page N] [--table CxR] [--link 0|1|2] [--quality Q]
//           [--progressive] [--quant 8] [--thumbs-folder REL]
//   report FILE... -o REPORT.txt [--format FMT]
//   contact-sheet FILE... -o SHEET.jpg|.bmp [--grid CxR] [--quality Q] [--size WxH]
int runCatalog(std::span<const std::string_view> args);
int runReport(std::span<const std::string_view> args);
int runContactSheet(std::span<const std::string_view> args);

} // namespace vemra::cli
