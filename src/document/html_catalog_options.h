#pragma once

#include <string>
#include <string_view>

namespace vemra {

class SettingsStore;

// What the HTML catalog keeps in section "Html" besides the four histories
// of its dialog (Folder%d, FileName%d, HtmlFile%d, ThumbsFolder%d).
struct HtmlCatalogOptions {
    int pageCount = 0; // pictures per page, 0 = no limit
    bool table = false;
    int widthCount = 0;  // columns
    int heightCount = 0; // rows
    int linkFormat = 0;  // 0 link to the picture, 1 JPEG thumbnails, 2 PNG thumbnails
    int jpegQuality = 95;
    bool progressive = false;
    int quantPng = 0; // 8: PNG thumbnails reduced to 256 colours

    static HtmlCatalogOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;

    // Pictures per page: columns x rows in a table, else pageCount.
    int picturesPerPage() const { return table ? widthCount * heightCount : pageCount; }
};

// One run of the catalog: the options and the four texts of the dialog.
struct HtmlCatalogRequest {
    std::string outputFolder;       // absolute
    std::string fileName;           // the first page, e.g. "catalog.htm"
    std::string definitionFile;     // the "*.kpm" template
    std::string thumbsFolder = "."; // below the output folder
    HtmlCatalogOptions options;
};

// A typed page name: one without an extension gets ".html".
std::string catalogFileName(std::string_view typed);

} // namespace vemra
