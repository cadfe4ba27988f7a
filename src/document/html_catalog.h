#pragma once

#include "document/catalog_definition.h"
#include "document/html_catalog_options.h"
#include "imaging/unsharp.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vemra {

class PictureLoader;
class PictureSource;
class ProgressSink;
class VarTable;

// What a catalog run needs besides the definition and the request.
struct HtmlCatalogContext {
    // Decodes the pictures for their thumbnails and sizes; must not be null.
    PictureLoader* loader = nullptr;
    UnsharpSettings sharpening;
    // The document's folder ("$FOLDER$", "$FOLDER_L$").
    std::string documentFolder;
    // Where the pictures' notes are kept when not beside them.
    std::string centralCacheFolder;
    // The moment "$TODAYDATE$" shows; none: now.
    std::optional<std::int64_t> now;
    // Shows "HTMLの作成中" with one step per picture; may be null.
    ProgressSink* progress = nullptr;
};

struct HtmlCatalogResult {
    bool ok = false;
    bool cancelled = false;
    // The thumbnail folder could not be made; nothing was written.
    bool thumbnailFolderFailed = false;
    // The pages and thumbnails written, in order (empty after a failure).
    std::vector<std::string> files;
    int pages = 0;
    // The system's reason for a failed write, when there is one.
    std::string error;
};

// Writes the catalog of `pictures` (the selected entries, in display order)
// into the request's output folder, which must exist, as the definition
// lays it out: pages of the request's size named after the first page,
// thumbnails ("Ve-name.jpg" or ".png") in the thumbnail folder, which is
// made when missing. The pictures learn their size and note on the way.
// `vars` keeps what "#LET" lines set, from run to run.
//
// Every file is written under a staging name and replaces an earlier file
// of its name only when the whole run succeeded: a failed write or "中止"
// leaves no file of the run and every earlier file as it was.
HtmlCatalogResult writeHtmlCatalog(const CatalogDefinition& definition,
                                   const HtmlCatalogRequest& request,
                                   std::span<PictureSource* const> pictures, VarTable& vars,
                                   const HtmlCatalogContext& context);

// The definition state a reading starts from: version 1, the box of the
// current thumbnail size, no table option.
CatalogDefinition catalogDefaults(int thumbsWidth, int thumbsHeight);

} // namespace vemra
