#pragma once

#include <string>
#include <string_view>

// Text pieces of an HTML catalog page.
namespace vemra {

// The link from a page in `outputFolder` to the file `name` in
// `pictureFolder`: "../" for every component of the output folder below
// their common part, then the picture folder's remaining components, then
// the name ("x.jpg" in the same folder, "../pics/x.jpg" beside it). Both
// folders are made absolute first. Not yet encoded for a URL.
std::string relativeLink(std::string_view outputFolder, std::string_view pictureFolder,
                         std::string_view name);

// Text from file names, folders and pictures, made safe inside HTML text
// and attribute values: "&", "<", ">" and '"' become entities.
std::string htmlEscaped(std::string_view text);

// A relative or absolute path as a URL path: every byte but letters,
// digits, "-._~/" percent-encoded, so that names with blanks, "#", "?" or
// "%" still lead to their files.
std::string urlEncoded(std::string_view path);

// A picture's note on a page: escaped, every line break (CR LF, CR or LF)
// a "<BR>";
// a full-width space when nothing is left, so that table cells keep their
// height.
std::string noteHtml(std::string_view note);

// The page file of page `page` (from 1) for the first page's name:
// "catalog.htm", "catalog-2.htm", "catalog-3.htm", ...
std::string pageFileName(std::string_view firstPage, int page);

} // namespace vemra
