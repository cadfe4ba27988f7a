#include "document/html_catalog_options.h"

#include "settings/option_table.h"

#include <filesystem>

namespace vemra {
namespace {

using O = HtmlCatalogOptions;

const OptionKey<O> kKeys[] = {
    {"Html", "PageCount", &O::pageCount},     {"Html", "Table", &O::table},
    {"Html", "WidthCount", &O::widthCount},   {"Html", "HeightCount", &O::heightCount},
    {"Html", "LinkFormat", &O::linkFormat},   {"Html", "JpegQuality", &O::jpegQuality},
    {"Html", "Progressive", &O::progressive}, {"Html", "QuantPng", &O::quantPng},
};

} // namespace

HtmlCatalogOptions HtmlCatalogOptions::load(SettingsStore& store) {
    HtmlCatalogOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o;
}

void HtmlCatalogOptions::save(SettingsStore& store) const {
    saveOptionKeys<O>(*this, kKeys, store);
}

std::string catalogFileName(std::string_view typed) {
    std::string name(typed);
    if (!std::filesystem::path(name).has_extension())
        name += ".html";
    return name;
}

} // namespace vemra
