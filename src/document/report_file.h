#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vemra {

class PictureSource;
class ProgressSink;

// The report file: one line per picture, a format expanded with the
// picture's caption macros; by default a tab-separated row a spreadsheet
// reads (name, size, date and time, pixel size and depth, information,
// note).
inline constexpr std::string_view kDefaultReportFormat =
    "$(PN)\t$(S)\t$(D) $(T)\t$(W)x$(H) $(C)bit\t$(I)\t$(N)";

struct ReportResult {
    bool ok = false;
    bool cancelled = false;
    int lines = 0;
    std::string error; // the system's reason for a failed write
};

// Writes the report of `pictures` (in order) to `path`, replacing a file
// of that name only once the report is complete. An empty format is the
// default one. Lines end in CR LF; a note's own line breaks continue the
// line on further lines of the file. `progress` (may be null) shows
// "レポートファイル作成中..." with one step per picture; "中止" ends the
// report after the picture in hand, and what was made until then is
// written. Notes are loaded from beside the pictures or `centralFolder`.
ReportResult writeReportFile(const std::string& path, std::string_view format,
                             std::span<PictureSource* const> pictures,
                             std::string_view centralFolder, ProgressSink* progress);

// The file name a save dialog gives back for the filter pattern chosen
// ("*.txt"): the pattern's extension replaces the typed one, unless the
// pattern's extension holds "*" or "?".
std::string withFilterExtension(std::string_view fileName, std::string_view pattern);

} // namespace vemra
