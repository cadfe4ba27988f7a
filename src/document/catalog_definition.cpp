#include "document/catalog_definition.h"

#include "platform/mapped_file.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vemra {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// The leading decimal integer of `text` as the C library's atoi reads it
// (blanks, a sign, digits); 0 without digits. Clamped to the int range.
int leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 31);
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, -2147483647 - 1, 2147483647));
}

double leadingFraction(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    double value = 0;
    const auto r = std::from_chars(text.data() + i, text.data() + text.size(), value);
    return r.ec == std::errc() ? value : 0;
}

} // namespace

bool isAssignmentLine(std::string_view line) {
    return startsWithIgnoringCase(line, "#LET");
}

CatalogDefinition parseCatalogDefinition(std::string_view bytes, CatalogDefinition defaults) {
    CatalogDefinition d = std::move(defaults);
    d.preamble.clear();
    d.header.clear();
    d.one.clear();
    d.footer.clear();
    const std::string text = definitionText(bytes);
    std::vector<std::string>* current = &d.preamble;
    for (const std::string_view line : textLines(text)) {
        if (line.starts_with(';'))
            continue;
        if (startsWithIgnoringCase(line, "*Header")) {
            d.header.clear();
            current = &d.header;
        } else if (startsWithIgnoringCase(line, "*One")) {
            d.one.clear();
            current = &d.one;
        } else if (startsWithIgnoringCase(line, "*Footer")) {
            d.footer.clear();
            current = &d.footer;
        } else if (startsWithIgnoringCase(line, "#THUMBS_WIDTH=")) {
            d.thumbsWidth = leadingInteger(line.substr(14));
        } else if (startsWithIgnoringCase(line, "#THUMBS_HEIGHT=")) {
            d.thumbsHeight = leadingInteger(line.substr(15));
        } else if (startsWithIgnoringCase(line, "#TABLE_OPTION=")) {
            d.tableOption = std::string(line.substr(14));
        } else if (startsWithIgnoringCase(line, "#VERSION=")) {
            d.version = leadingFraction(line.substr(9));
        } else {
            current->emplace_back(line);
        }
    }
    return d;
}

std::optional<CatalogDefinition> readCatalogDefinition(const std::string& path,
                                                       CatalogDefinition defaults) {
    auto file = MappedFile::open(path);
    if (!file || file->size() > kMaxDefinitionBytes)
        return std::nullopt;
    const auto bytes = file->bytes();
    return parseCatalogDefinition(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        std::move(defaults));
}

} // namespace vemra
