#pragma once

#include "document/picture_source.h"
#include "imaging/unsharp.h"
#include "platform/field_list.h"
#include "settings/colour_value.h"
#include "settings/option_table.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// Every option the folder document owns, with its default, read from and
// written to the settings store in one place. Member names follow the stored
// keys (sections KPDoc, ZRVxFile, Filer, Filter). The decoder switches of
// section SPI belong to the decoder registry, the keys of the windows'
// sections (KPView, MainFrame, DrvView, ...) to the windows.
struct DocumentOptions {
    // Thumbnail cells are kept within these bounds whatever the file says, so
    // that a damaged value cannot ask for gigantic cell bitmaps.
    static constexpr int kMinThumbnailSide = 10;
    static constexpr int kMaxThumbWorkers = 64;
    static constexpr int kMinThumbMemoryMB = 16;
    static constexpr int kMaxThumbMemoryMB = 65536;
    static constexpr int kMaxThumbnailSide = 4096;
    // The last moment a stored 32-bit time field can express (2106-02-07),
    // the built-in end of the date filter.
    static constexpr std::int64_t kLatestFileTime = 0xFFFFFFFF;

    // KPDoc
    IntPair thumbsSize{110, 110};
    IntPair thumbsLimitSize{40, 40};
    bool delqa = false; // delete without asking
    bool trashCan = true;
    bool synchronous = false;
    bool syncJump = false;
    bool syncFind = false;
    bool archive = false;
    bool downScan = false;
    bool frame = false;
    bool nameFrame = true;
    bool name = true;
    int scaleMode = 10;
    bool unsharp = true;
    int scaleStep = 25;
    bool limitCheck = true;
    bool restoreFolder = true;
    std::string pathMask = "*.*";
    bool scanSpi = false;
    int idViewer = 32782;
    bool cp = false;
    bool thumbsCreate = true;
    // Threads that make thumbnails (and decode ahead for viewers): 0 takes
    // one per core. Read at start and when the thumbnail options change.
    int thumbWorkers = 0;
    // Megabytes the thumbnails held in memory may take before the least
    // recently drawn ones are let go.
    int thumbMemoryMB = 256;
    // Photographs shown upright as their EXIF orientation says, everywhere
    // a picture is decoded.
    bool autoRotate = true;
    // A camera JPEG's own small EXIF thumbnail drawn in its cell until the
    // real thumbnail is made.
    bool exifThumbnailFirst = true;
    // The date column sorts by the date a photograph was taken (where it
    // has one) instead of the file's time.
    bool sortDateTaken = false;
    std::string homeFolder;
    std::string cacheDataFolder;
    bool cacheFolder = false;
    bool autoCacheFolder = false;
    bool dadMove = false;
    bool clipboardCopyDib = true;
    bool clipboardCopyText = true;
    int unsharpPassCount = 3;
    std::vector<int> unsharpKernel{1, 1, 1, 1, 0, 1, 1, 1, 1};
    double unsharpLevel = 0.5;
    // Pictures with an embedded colour profile are shown (thumbnails and
    // viewers) in the display's colours; DisplayProfile names an ICC file
    // that describes the display, empty: the desktop's, else sRGB.
    bool colorManagement = true;
    std::string displayProfile;

    // ZRVxFile: grid colours, caption font and caption lines
    ColourValue colCheck = 0x808080;
    ColourValue colBackGround = 0xC0C0C0;
    ColourValue colText = 0x000000;
    ColourValue colSelectCheck = 0x000080;
    ColourValue colSelectBackGround = 0xFF8C8C;
    ColourValue colSelectText = 0xFFFFFF;
    ColourValue colNormalDraw = 0xFFFFFF;
    ColourValue colArcDraw = 0xFFF0F0;
    ColourValue colCantDraw = 0xF0FFFF;
    std::string fontFaceName = "ＭＳ ゴシック";
    int fontWidth = 0;
    int fontHeight = -12; // negative: character height in pixels
    bool fontItalic = false;
    int fontWeight = 0; // 0: the font's normal weight
    std::vector<std::string> captionLines{"$(PicName)"};

    // Filer
    std::string autoFileFormat = "%s-%d%s";

    // Filter (written by the display-filter dialog, only read here)
    bool filterFileName = false;
    bool filterFileDate = false;
    bool filterFileSize = false;
    std::int64_t dateFrom = 0;
    std::int64_t dateTo = kLatestFileTime;
    int unitBegin = 0; // 0 bytes, 1 KB, 2 MB
    int unitEnd = 0;
    std::int64_t sizeMinimum = 0; // bytes
    std::int64_t sizeMaximum = 0;

    // Reads every option with the reading rules: the limit size at least 10,
    // the cell size at least the limit, the caption lines cut from
    // NameFormat, the sharpening values checked as a group, filter dates only
    // when non-zero, filter sizes scaled by their units, and the caption
    // face looked up among the installed fonts.
    static DocumentOptions load(SettingsStore& store);
    // Writes every option except the Filter keys, in one rewrite.
    void save(SettingsStore& store) const;

    // Every option as section, key and its text in the stored form.
    struct Entry {
        std::string_view section;
        std::string_view key;
        std::string value;
    };
    std::vector<Entry> entries() const;

    // What CacheDataFolder is when the settings do not hold it: "Vemra" in
    // the user's cache folder ($XDG_CACHE_HOME, else ~/.cache); empty when
    // the system tells no such folder. A store read by load() without the
    // caching keys also turns CacheFolder and AutoCacheFolder on; the plain
    // struct leaves caching off, so that a document made without settings
    // never writes a cache.
    static std::string defaultCacheDataFolder();

    // The central cache folder: CacheDataFolder with "$(ExeDir)" standing for
    // the program's folder; empty when none is set.
    std::string centralCacheFolder() const;
    // The thumbnail sharpening of Unsharp, UnsharpPassCount, UnsharpKernel
    // and UnsharpLevel.
    UnsharpSettings sharpening() const;
    // The grid colours and caption font, as entries carry them.
    EntryAppearance appearance() const;
};

} // namespace vemra
