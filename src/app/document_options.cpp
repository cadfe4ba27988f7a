#include "app/document_options.h"

#include "app/caption_font.h"
#include "app/settings_store.h"
#include "platform/program_path.h"

#include <algorithm>
#include <variant>

namespace vemra {
namespace {

using O = DocumentOptions;

// A key stored as it is held: flags and integers with "%d", texts as they
// are, colours as integers. Keys with a reading rule of their own have no
// member here and are handled by name.
using Member =
    std::variant<std::monostate, bool O::*, int O::*, std::string O::*, ColourValue O::*>;

struct Key {
    std::string_view section;
    std::string_view key;
    Member member;
};

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
    {"SPI", "TXTSize", {}},
    {"SPI", "#InnerBMP", &O::innerBmp},
    {"SPI", "#InnerAVI", &O::innerAvi},
    {"SPI", "#InnerPNG", &O::innerPng},
    {"SPI", "#InnerMPEG", &O::innerMpeg},
    {"SPI", "#InnerTEXT", &O::innerText},
    {"SPI", "#InnerTIFF", &O::innerTiff},
    {"SPI", "#InnerJPEG", &O::innerJpeg},
    {"SPI", "#InnerJPEG_FAST", &O::innerJpegFast},
    {"SPI", "#InnerGIF", &O::innerGif},
    {"SPI", "#InnerGIF2", &O::innerGif2},
    {"SPI", "#PluginEXT", &O::pluginExt},
    {"SPI", "DynamicSPI", &O::dynamicSpi},
    {"SPI", "SPISet", &O::spiSet},
    {"SPI", "SPIDIR", &O::spiDir},
    {"KPView", "MemDraw", &O::memDraw},
    {"KPView", "OverMem", &O::overMem},
    {"KPView", "WheelScrollCount", &O::wheelScrollCount},
    {"KPView", "SyncFileCount", &O::syncFileCount},
    {"DrvView", "DisplayName", &O::displayName},
    {"DrvView", "ShellTree", &O::shellTree},
    {"DriveView", "Monitoring", &O::monitoring},
    {"DriveView", "ArcTree", &O::arcTree},
    {"MainFrame", "FolderMonitor", &O::folderMonitor},
    {"MainFrame", "FlatBar", &O::flatBar},
    {"OnePic", "TopMost", &O::topMost},
    {"OnePic", "MultiPicView", &O::multiPicView},
    {"OnePic", "Stay", &O::stay},
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
    if (key == "TXTSize") {
        return formatPair(o.txtSize);
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

IntPair clampedPair(IntPair pair, IntPair least) {
    return {std::clamp(pair.first, least.first, O::kMaxThumbnailSide),
            std::clamp(pair.second, least.second, O::kMaxThumbnailSide)};
}

void loadPlain(O& o, SettingsStore& store) {
    for (const Key& k : kKeys) {
        std::visit(
            [&](auto member) {
                using M = decltype(member);
                if constexpr (std::is_same_v<M, bool O::*>) {
                    o.*member = store.getInt(k.section, k.key, o.*member ? 1 : 0) != 0;
                } else if constexpr (std::is_same_v<M, int O::*>) {
                    o.*member = store.getInt(k.section, k.key, o.*member);
                } else if constexpr (std::is_same_v<M, std::string O::*>) {
                    o.*member = store.getText(k.section, k.key, o.*member);
                } else if constexpr (std::is_same_v<M, ColourValue O::*>) {
                    const int stored = store.getInt(k.section, k.key, static_cast<int>(o.*member));
                    o.*member = colourFromSetting(stored);
                }
            },
            k.member);
    }
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

DocumentOptions DocumentOptions::load(SettingsStore& store) {
    DocumentOptions o;
    loadPlain(o, store);

    const IntPair limit = readPair(store.getText("KPDoc", "ThumbsLimitSize", "40,40"));
    o.thumbsLimitSize = clampedPair(limit, {kMinThumbnailSide, kMinThumbnailSide});
    o.thumbsSize =
        clampedPair(readPair(store.getText("KPDoc", "ThumbsSize", "110,110")), o.thumbsLimitSize);
    o.txtSize = readPair(store.getText("SPI", "TXTSize", formatPair(o.txtSize)));

    loadSharpening(o, store);

    o.fontFaceName = chooseCaptionFace(store.getText("ZRVxFile", "fontFaceName", o.fontFaceName));

    const std::string nameFormat =
        store.getText("ZRVxFile", "NameFormat", formatQuotedList(o.captionLines));
    o.captionLines.clear();
    for (const std::string_view field : splitFields(nameFormat)) {
        if (!field.empty()) {
            o.captionLines.emplace_back(field);
        }
    }

    if (store.contains("KPView", "colBackground")) {
        o.colBackground = colourFromSetting(store.getInt("KPView", "colBackground", 0));
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
        std::visit(
            [&](auto member) {
                using M = decltype(member);
                if constexpr (std::is_same_v<M, std::monostate>) {
                    store.putText(k.section, k.key, specialText(*this, k.key));
                } else if constexpr (std::is_same_v<M, bool O::*>) {
                    store.putInt(k.section, k.key, this->*member ? 1 : 0);
                } else if constexpr (std::is_same_v<M, int O::*>) {
                    store.putInt(k.section, k.key, this->*member);
                } else if constexpr (std::is_same_v<M, std::string O::*>) {
                    store.putText(k.section, k.key, this->*member);
                } else {
                    store.putInt(k.section, k.key, static_cast<int>(this->*member & 0xFFFFFF));
                }
            },
            k.member);
    }
}

std::vector<DocumentOptions::Entry> DocumentOptions::entries() const {
    std::vector<Entry> result;
    result.reserve(std::size(kKeys));
    for (const Key& k : kKeys) {
        std::string value = std::visit(
            [&](auto member) -> std::string {
                using M = decltype(member);
                if constexpr (std::is_same_v<M, std::monostate>) {
                    return specialText(*this, k.key);
                } else if constexpr (std::is_same_v<M, bool O::*>) {
                    return this->*member ? "1" : "0";
                } else if constexpr (std::is_same_v<M, std::string O::*>) {
                    return this->*member;
                } else {
                    return std::to_string(this->*member);
                }
            },
            k.member);
        result.push_back({k.section, k.key, std::move(value)});
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

} // namespace vemra
