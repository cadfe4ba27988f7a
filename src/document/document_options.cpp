#include "document/document_options.h"

#include "document/caption_font.h"
#include "platform/program_path.h"
#include "platform/user_folders.h"
#include "settings/settings_store.h"

#include <algorithm>

namespace vemra {
namespace {

using O = DocumentOptions;
using Key = OptionKey<O>;

const Key kKeys[] = {
    {"KPDoc", "ThumbsSize", {}},
    {"KPDoc", "ThumbsLimitSize", {}},
    {"KPDoc", "DELQA", &O::delqa},
    {"KPDoc", "TrashCan", &O::trashCan},
    {"KPDoc", "Synchronous", &O::synchronous},
    {"KPDoc", "SyncJump", &O::syncJump},
    {"KPDoc", "SyncFind", &O::syncFind},
    {"KPDoc", "Archive", &O::archive},
    {"KPDoc", "DownScan", &O::downScan},
    {"KPDoc", "Frame", &O::frame},
    {"KPDoc", "NameFrame", &O::nameFrame},
    {"KPDoc", "Name", &O::name},
    {"KPDoc", "ScaleMode", &O::scaleMode},
    {"KPDoc", "Unsharp", &O::unsharp},
    {"KPDoc", "ScaleStep", &O::scaleStep},
    {"KPDoc", "LimitCheck", &O::limitCheck},
    {"KPDoc", "RestoreFolder", &O::restoreFolder},
    {"KPDoc", "PathMask", &O::pathMask},
    {"KPDoc", "ScanSPI", &O::scanSpi},
    {"KPDoc", "IDViewer", &O::idViewer},
    {"KPDoc", "CP", &O::cp},
    {"KPDoc", "ThumbsCreate", &O::thumbsCreate},
    {"KPDoc", "ThumbWorkers", &O::thumbWorkers},
    {"KPDoc", "ThumbMemoryMB", &O::thumbMemoryMB},
    {"KPDoc", "AutoRotate", &O::autoRotate},
    {"KPDoc", "ExifThumbnailFirst", &O::exifThumbnailFirst},
    {"KPDoc", "SortDateTaken", &O::sortDateTaken},
    {"KPDoc", "HomeFolder", &O::homeFolder},
    {"KPDoc", "CacheDataFolder", &O::cacheDataFolder},
    {"KPDoc", "CacheFolder", &O::cacheFolder},
    {"KPDoc", "AutoCacheFolder", &O::autoCacheFolder},
    {"KPDoc", "DaDMOVE", &O::dadMove},
    {"KPDoc", "ClipboardCopyDIB", &O::clipboardCopyDib},
    {"KPDoc", "ClipboardCopyTEXT", &O::clipboardCopyText},
    {"KPDoc", "UnsharpPassCount", {}},
    {"KPDoc", "UnsharpKernel", {}},
    {"KPDoc", "UnsharpLevel", {}},
    {"KPDoc", "ColorManagement", &O::colorManagement},
    {"KPDoc", "DisplayProfile", &O::displayProfile},
    {"ZRVxFile", "colCheck", &O::colCheck},
    {"ZRVxFile", "colBackGround", &O::colBackGround},
    {"ZRVxFile", "colText", &O::colText},
    {"ZRVxFile", "colSelectCheck", &O::colSelectCheck},
    {"ZRVxFile", "colSelectBackGround", &O::colSelectBackGround},
    {"ZRVxFile", "colSelectText", &O::colSelectText},
    {"ZRVxFile", "colNormalDraw", &O::colNormalDraw},
    {"ZRVxFile", "colArcDraw", &O::colArcDraw},
    {"ZRVxFile", "colCantDraw", &O::colCantDraw},
    {"ZRVxFile", "fontFaceName", {}},
    {"ZRVxFile", "fontWidth", &O::fontWidth},
    {"ZRVxFile", "fontHeight", &O::fontHeight},
    {"ZRVxFile", "fontItalic", &O::fontItalic},
    {"ZRVxFile", "fontWeight", &O::fontWeight},
    {"ZRVxFile", "NameFormat", {}},
    {"Filer", "AutoFileFormat", &O::autoFileFormat},
    {"Filter", "FileName", &O::filterFileName},
    {"Filter", "FileDate", &O::filterFileDate},
    {"Filter", "FileSize", &O::filterFileSize},
    {"Filter", "DateBegin", {}},
    {"Filter", "DateEnd", {}},
    {"Filter", "SizeBegin0", {}},
    {"Filter", "UnitBegin", {}},
    {"Filter", "SizeEnd0", {}},
    {"Filter", "UnitEnd", {}},
};

constexpr int kLargestSizeUnit = 2; // "Bytes", "KB", "MB"

// number × 1,024^unit, saturating rather than overflowing.
std::int64_t scaledSize(std::int64_t number, int unit) {
    constexpr std::int64_t kLimit = INT64_MAX / 1024;
    for (int i = 0; i < unit; ++i) {
        if (number > kLimit || number < -kLimit) {
            return number < 0 ? INT64_MIN : INT64_MAX;
        }
        number *= 1024;
    }
    return number;
}

// The stored text of a key that has no plain member.
std::string specialText(const O& o, std::string_view key) {
    if (key == "ThumbsSize") {
        return formatPair(o.thumbsSize);
    }
    if (key == "ThumbsLimitSize") {
        return formatPair(o.thumbsLimitSize);
    }
    if (key == "UnsharpPassCount") {
        return std::to_string(o.unsharpPassCount);
    }
    if (key == "UnsharpKernel") {
        return formatIntList(o.unsharpKernel);
    }
    if (key == "UnsharpLevel") {
        return formatReal(o.unsharpLevel);
    }
    if (key == "fontFaceName") {
        return o.fontFaceName;
    }
    if (key == "NameFormat") {
        return formatQuotedList(o.captionLines);
    }
    if (key == "DateBegin") {
        return std::to_string(o.dateFrom);
    }
    if (key == "DateEnd") {
        return std::to_string(o.dateTo);
    }
    if (key == "SizeBegin0") {
        return std::to_string(o.sizeMinimum);
    }
    if (key == "UnitBegin") {
        return std::to_string(o.unitBegin);
    }
    if (key == "SizeEnd0") {
        return std::to_string(o.sizeMaximum);
    }
    if (key == "UnitEnd") {
        return std::to_string(o.unitEnd);
    }
    return {};
}

std::string textOf(const O& o, const Key& k) {
    return std::holds_alternative<std::monostate>(k.member) ? specialText(o, k.key)
                                                            : optionText(o, k);
}

IntPair clampedPair(IntPair pair, IntPair least) {
    return {std::clamp(pair.first, least.first, O::kMaxThumbnailSide),
            std::clamp(pair.second, least.second, O::kMaxThumbnailSide)};
}

void loadSharpening(O& o, SettingsStore& store) {
    const int count = store.getInt("KPDoc", "UnsharpPassCount", o.unsharpPassCount);
    const std::vector<int> kernel =
        readIntList(store.getText("KPDoc", "UnsharpKernel", formatIntList(o.unsharpKernel)));
    // A kernel side out of range or a kernel too short for it leaves the
    // built-in kernel as it is.
    if (count >= 1 && count <= 5 && kernel.size() >= static_cast<std::size_t>(count * count)) {
        o.unsharpPassCount = count;
        o.unsharpKernel.assign(kernel.begin(), kernel.begin() + count * count);
    }
    const double level = toReal(store.getText("KPDoc", "UnsharpLevel", formatReal(o.unsharpLevel)));
    o.unsharpLevel = level >= 0.0 && level <= 1.0 ? level : 0.0;
}

void loadFilter(O& o, SettingsStore& store) {
    if (const std::int64_t begin = store.getInt64("Filter", "DateBegin", 0); begin != 0) {
        o.dateFrom = begin;
    }
    if (const std::int64_t end = store.getInt64("Filter", "DateEnd", 0); end != 0) {
        o.dateTo = end;
    }
    o.unitBegin = std::clamp(store.getInt("Filter", "UnitBegin", 0), 0, kLargestSizeUnit);
    o.unitEnd = std::clamp(store.getInt("Filter", "UnitEnd", 0), 0, kLargestSizeUnit);
    o.sizeMinimum = scaledSize(toInt64(store.getText("Filter", "SizeBegin0")), o.unitBegin);
    o.sizeMaximum = scaledSize(toInt64(store.getText("Filter", "SizeEnd0")), o.unitEnd);
}

} // namespace

std::string DocumentOptions::defaultCacheDataFolder() {
    const std::string base = userCacheFolder();
    return base.empty() ? std::string() : base + "/Vemra";
}

DocumentOptions DocumentOptions::load(SettingsStore& store) {
    DocumentOptions o;
    // A settings file keeps the values it holds; without them thumbnails are
    // stored and reused in the user's cache folder, so a folder opens at once
    // the second time and no picture folder is written into unasked.
    o.cacheDataFolder = defaultCacheDataFolder();
    o.cacheFolder = !o.cacheDataFolder.empty();
    o.autoCacheFolder = o.cacheFolder;
    loadOptionKeys<O>(o, kKeys, store);

    const IntPair limit = readPair(store.getText("KPDoc", "ThumbsLimitSize", "40,40"));
    o.thumbsLimitSize = clampedPair(limit, {kMinThumbnailSide, kMinThumbnailSide});
    o.thumbsSize =
        clampedPair(readPair(store.getText("KPDoc", "ThumbsSize", "110,110")), o.thumbsLimitSize);

    loadSharpening(o, store);
    o.thumbWorkers = std::clamp(o.thumbWorkers, 0, kMaxThumbWorkers);
    o.thumbMemoryMB = std::clamp(o.thumbMemoryMB, kMinThumbMemoryMB, kMaxThumbMemoryMB);

    o.fontFaceName = chooseCaptionFace(store.getText("ZRVxFile", "fontFaceName", o.fontFaceName));

    const std::string nameFormat =
        store.getText("ZRVxFile", "NameFormat", formatQuotedList(o.captionLines));
    o.captionLines.clear();
    for (const std::string_view field : splitFields(nameFormat)) {
        if (!field.empty()) {
            o.captionLines.emplace_back(field);
        }
    }

    loadFilter(o, store);
    return o;
}

void DocumentOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (const Key& k : kKeys) {
        if (k.section == "Filter") {
            continue; // the display-filter dialog owns these
        }
        store.putText(k.section, k.key, textOf(*this, k));
    }
}

std::vector<DocumentOptions::Entry> DocumentOptions::entries() const {
    std::vector<Entry> result;
    result.reserve(std::size(kKeys));
    for (const Key& k : kKeys) {
        result.push_back({k.section, k.key, textOf(*this, k)});
    }
    return result;
}

std::string DocumentOptions::centralCacheFolder() const {
    std::string folder = cacheDataFolder;
    constexpr std::string_view kExeDir = "$(ExeDir)";
    if (const std::size_t at = folder.find(kExeDir); at != std::string::npos) {
        folder.replace(at, kExeDir.size(), executableDir());
    }
    return folder;
}

UnsharpSettings DocumentOptions::sharpening() const {
    UnsharpSettings s;
    s.enabled = unsharp;
    s.side = unsharpPassCount;
    s.kernel = unsharpKernel;
    s.level = unsharpLevel;
    return s;
}

EntryAppearance DocumentOptions::appearance() const {
    EntryAppearance a;
    a.colCheck = colCheck;
    a.colBackGround = colBackGround;
    a.colText = colText;
    a.colSelectCheck = colSelectCheck;
    a.colSelectBackGround = colSelectBackGround;
    a.colSelectText = colSelectText;
    a.colNormalDraw = colNormalDraw;
    a.colArcDraw = colArcDraw;
    a.colCantDraw = colCantDraw;
    a.fontFaceName = fontFaceName;
    a.fontWidth = fontWidth;
    a.fontHeight = fontHeight;
    a.fontItalic = fontItalic;
    a.fontWeight = fontWeight;
    return a;
}

} // namespace vemra
