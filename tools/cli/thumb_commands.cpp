#include "thumb_commands.h"

#include "document/caption_font.h"
#include "document/cell_geometry.h"
#include "document/document_options.h"
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "picture_commands.h"
#include "platform/file_status.h"
#include "registry_cli.h"
#include "settings/settings_store.h"
#include "transform_commands.h"

#include <QFontMetrics>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

constexpr const char* kUsage =
    "thumbs: usage is thumbs FOLDER [--size WxH] [--cache-folder DIR] [-j THREADS] "
    "[--settings FILE]";

std::optional<IntPair> cellSize(std::string_view text) {
    const auto size = sizeOf(text);
    if (!size)
        return std::nullopt;
    const auto inRange = [](int side) {
        return side >= DocumentOptions::kMinThumbnailSide &&
               side <= DocumentOptions::kMaxThumbnailSide;
    };
    if (!inRange(size->width) || !inRange(size->height))
        return std::nullopt;
    return IntPair{size->width, size->height};
}

// The caption lines take the font's line height each, as in the grid.
int captionHeight(const DocumentOptions& options) {
    const int lines = static_cast<int>(options.captionLines.size());
    return QFontMetrics(captionFont(options)).height() * lines;
}

} // namespace

int runThumbs(std::span<const std::string_view> args) {
    std::optional<std::string> folder;
    std::optional<IntPair> size;
    std::optional<std::string> cacheFolder;
    std::optional<int> threads;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--size" && hasValue) {
            size = cellSize(args[++i]);
            if (!size)
                return usageError("thumbs: --size takes WxH, each side 10 to 4096");
        } else if ((a == "-j" || a == "--jobs") && hasValue) {
            const std::string_view text = args[++i];
            int n = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (error != std::errc{} || end != text.data() + text.size() || n < 1 ||
                n > DocumentOptions::kMaxThumbWorkers)
                return usageError("thumbs: -j takes a thread count from 1 to 64");
            threads = n;
        } else if (a == "--cache-folder" && hasValue) {
            cacheFolder = std::string(args[++i]);
        } else if (!a.starts_with("--") && !folder) {
            folder = std::string(a);
        } else {
            return usageError(kUsage);
        }
    }
    if (!folder)
        return usageError(kUsage);
    if (!takeFolderArgument(*folder, true))
        return 1;

    // The caption font is looked up among the installed fonts, which needs
    // the (offscreen) GUI application.
    ensureGuiApplication();
    DocumentOptions options = DocumentOptions::load(settings());
    if (size)
        options.thumbsSize = *size;
    if (threads)
        options.thumbWorkers = *threads;
    if (cacheFolder) {
        std::error_code error;
        std::filesystem::create_directories(*cacheFolder, error);
        options.cacheDataFolder = *cacheFolder;
    }
    const EntryDrawingOptions drawing{
        options.frame,     options.nameFrame, options.name,       options.limitCheck,
        options.scaleMode, options.unsharp,   options.autoRotate, nullptr};
    const CellGeometry cell = cellGeometry(options.thumbsSize.first, options.thumbsSize.second,
                                           drawing, captionHeight(options));

    const auto registry = openRegistry();
    const RegistryScanServices services(*registry);
    RegistryPictureLoader loader(*registry);
    ThumbCache cache;
    FolderDocument doc(services, cache, options);
    doc.setPictureLoader(&loader);
    doc.openFolder(*folder, nullptr, true);

    int made = 0, loaded = 0;
    const auto start = std::chrono::steady_clock::now();
    // The worker threads make the thumbnails; a few requests are kept ahead
    // of them so that none waits, and none more, so that a huge folder does
    // not queue a copy of every entry.
    const int ahead = 4 * doc.thumbnailWorkerCount();
    const auto takeResults = [&] {
        doc.applyThumbnailResults(
            cell, [&](int) { ++made; }, nullptr);
    };
    for (int i = 0; i < doc.displayedCount(); ++i) {
        while (doc.thumbnailJobsOutstanding() >= ahead) {
            doc.waitForThumbnailResults(std::chrono::seconds(1));
            takeResults();
        }
        loaded += doc.requestThumbnail(i, cell, false).loaded ? 1 : 0;
    }
    while (doc.thumbnailJobsOutstanding() > 0) {
        doc.waitForThumbnailResults(std::chrono::seconds(1));
        takeResults();
    }
    int failed = 0;
    for (int i = 0; i < doc.displayedCount(); ++i)
        failed += doc.entryAt(i)->thumbnail ? 0 : 1;
    const bool written = doc.saveThumbnails(nullptr);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const int count = std::max(1, doc.displayedCount());
    std::printf("made %d loaded %d failed %d ms-per-thumbnail %.2f\n", made, loaded, failed,
                ms / count);
    if (!written) {
        std::fprintf(stderr, "vemra-cli: %s: the thumbnail cache could not be written\n",
                     folder->c_str());
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
