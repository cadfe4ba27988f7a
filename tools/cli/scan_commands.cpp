#include "scan_commands.h"

#include "document/document_options.h"
#include "document/document_sort.h"
#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/sort_history.h"
#include "document/thumb_cache.h"
#include "picture_commands.h"
#include "platform/field_list.h"
#include "platform/file_status.h"
#include "registry_cli.h"
#include "settings/settings_store.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

constexpr const char* kUsage =
    "scan: usage is scan FOLDER [--mask M] [--archives] [--subfolders] [--cache-first] "
    "[--scan-spi] [--plugin-ext] [--date-from YYYY-MM-DD] [--date-to YYYY-MM-DD] [--size-min N] "
    "[--size-max N] [--sort COLUMN:CODE]... [--plugins DIR]";

// Local midnight of a "YYYY-MM-DD" day, plus `seconds`.
std::optional<std::int64_t> localDay(std::string_view text, int seconds) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    const std::string s(text);
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 ||
        d < 1 || d > 31 || y < 1970)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_sec = seconds;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<std::int64_t>(t);
}

// "COLUMN:CODE", both decimal, naming a column and one of its codes.
std::optional<SortKey> sortKey(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    int column = 0, code = 0;
    const std::string_view c = text.substr(0, colon), k = text.substr(colon + 1);
    const auto [endC, errorC] = std::from_chars(c.data(), c.data() + c.size(), column);
    const auto [endK, errorK] = std::from_chars(k.data(), k.data() + k.size(), code);
    if (c.empty() || k.empty() || errorC != std::errc() || errorK != std::errc() ||
        endC != c.data() + c.size() || endK != k.data() + k.size())
        return std::nullopt;
    const SortKey key{column, code};
    return key.isValid() ? std::optional(key) : std::nullopt;
}

std::optional<std::int64_t> number(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// Tabs and line ends inside names would break the line format.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

int runScan(std::span<const std::string_view> args) {
    DocumentOptions options = DocumentOptions::load(settings());
    options.pathMask = "*.*";
    options.filterFileName = false;
    options.filterFileDate = false;
    options.filterFileSize = false;
    options.archive = false;
    options.downScan = false;
    options.scanSpi = false;
    options.syncFind = false;
    options.dateFrom = 0;
    options.dateTo = DocumentOptions::kLatestFileTime;
    options.sizeMinimum = 0;
    options.sizeMaximum = std::numeric_limits<std::int64_t>::max();
    bool cacheFirst = false;
    bool extensionOnly = false;
    // Each key is sorted by after the ones before it, as a heading click
    // would: the last one decides first, the earlier ones break its ties.
    SortHistory sorting;
    std::optional<std::string> folder;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--archives") {
            options.archive = true;
        } else if (a == "--subfolders") {
            options.downScan = true;
        } else if (a == "--cache-first") {
            cacheFirst = true;
            options.cacheFolder = true;
        } else if (a == "--scan-spi") {
            options.scanSpi = true;
        } else if (a == "--plugin-ext") {
            extensionOnly = true;
        } else if (a == "--mask" && hasValue) {
            options.pathMask = std::string(args[++i]);
            options.filterFileName = true;
        } else if ((a == "--date-from" || a == "--date-to") && hasValue) {
            const bool from = a == "--date-from";
            const auto t = localDay(args[++i], from ? 0 : 24 * 60 * 60 - 1);
            if (!t)
                return usageError("scan: dates are written YYYY-MM-DD");
            (from ? options.dateFrom : options.dateTo) = *t;
            options.filterFileDate = true;
        } else if ((a == "--size-min" || a == "--size-max") && hasValue) {
            const auto n = number(args[++i]);
            if (!n)
                return usageError("scan: sizes are byte counts");
            (a == "--size-min" ? options.sizeMinimum : options.sizeMaximum) = *n;
            options.filterFileSize = true;
        } else if (a == "--sort" && hasValue) {
            const auto key = sortKey(args[++i]);
            if (!key)
                return usageError("scan: --sort takes COLUMN:CODE, columns 0-9, codes 0-2 "
                                  "(0-8 for column 4)");
            sorting.push(*key);
        } else if (!a.starts_with("--") && !folder) {
            folder = std::string(a);
        } else {
            return usageError(kUsage);
        }
    }
    if (!folder)
        return usageError(kUsage);
    if (!takeFolderArgument(*folder, false))
        return 1;

    const auto registry = openRegistry();
    registry->settings().pluginExtensionOnly = extensionOnly;
    const RegistryScanServices services(*registry);
    ThumbCache cache;
    FolderDocument doc(services, cache, options);
    doc.openFolder(*folder, nullptr, cacheFirst);
    if (!sorting.empty())
        sortDocument(doc, sorting.keys(), services, nullptr);

    for (int i = 0; i < doc.displayedCount(); ++i) {
        const PictureSource& e = *doc.entryAt(i);
        std::printf("%d\t%s\t%s\t%s\t%d\t%llu\t%lld\t%s\t%d\t%d\t%d\n", i, field(e.folder).c_str(),
                    field(e.fileName).c_str(), field(e.archiveFileName).c_str(), e.memberPosition,
                    static_cast<unsigned long long>(e.length),
                    static_cast<long long>(e.lastWriteTime),
                    field(services.pictureDecoderLabel(e.decoder)).c_str(), e.pictureWidth,
                    e.pictureHeight, e.bitCount);
    }
    for (const std::string& text : doc.statusSummary())
        std::printf("#%s\n", text.c_str());
    return 0;
}

} // namespace vemra::cli
