#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// A catalog definition file ("*.kpm"): the template an HTML catalog is made
// from. Lines before the first section marker form the preamble (only its
// "#LET" lines count); "*Header", "*One" and "*Footer" start the lists
// written before the pictures, once per picture and after them. Four
// settings lines ("#THUMBS_WIDTH=", "#THUMBS_HEIGHT=", "#TABLE_OPTION=",
// "#VERSION=") may stand anywhere; ";" at the start of a line makes it a
// comment. Markers and settings are recognised ignoring letter case.
struct CatalogDefinition {
    double version = 1.0;
    int thumbsWidth = 0;
    int thumbsHeight = 0;
    std::string tableOption;
    std::vector<std::string> preamble;
    std::vector<std::string> header;
    std::vector<std::string> one;
    std::vector<std::string> footer;
};

// The largest definition file read; anything longer is refused.
inline constexpr std::size_t kMaxDefinitionBytes = 4 << 20;

// Reads a definition from the file's bytes (UTF-8, else Shift-JIS; CR LF or
// LF line ends). `defaults` gives the version, box and table option a file
// that does not set them keeps (its lists are replaced).
CatalogDefinition parseCatalogDefinition(std::string_view bytes, CatalogDefinition defaults);

// The same from a file; nullopt when it cannot be opened or read, or is
// longer than kMaxDefinitionBytes.
std::optional<CatalogDefinition> readCatalogDefinition(const std::string& path,
                                                       CatalogDefinition defaults);

// True when `line` starts with "#LET" in any letter case.
bool isAssignmentLine(std::string_view line);

} // namespace vemra
