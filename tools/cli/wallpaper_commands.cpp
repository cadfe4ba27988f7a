#include "wallpaper_commands.h"

#include "document/picture_loader.h"
#include "document/wallpaper.h"
#include "document/written_colours.h"
#include "output_commands.h"
#include "picture_commands.h"
#include "settings/settings_store.h"
#include "transform_commands.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

std::optional<int> numberIn(std::string_view text, int low, int high) {
    int value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

int runWallpaper(std::span<const std::string_view> args) {
    constexpr const char* kUsage =
        "wallpaper: usage is wallpaper FILE [--mode 0-3] [--bright -100..100] [--red R] "
        "[--green G] [--blue B] (each -255..255) [--screen WxH] [--dry-run]";
    WallpaperOptions options = WallpaperOptions::load(settings());
    std::string file;
    std::optional<PictureSize> screen;
    bool dryRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::optional<int> n;
        if (a == "--mode" && hasValue && (n = numberIn(args[++i], 0, 3)))
            options.mode = *n;
        else if (a == "--bright" && hasValue && (n = numberIn(args[++i], -100, 100)))
            options.bright = *n;
        else if (a == "--red" && hasValue && (n = numberIn(args[++i], -255, 255)))
            options.red = *n;
        else if (a == "--green" && hasValue && (n = numberIn(args[++i], -255, 255)))
            options.green = *n;
        else if (a == "--blue" && hasValue && (n = numberIn(args[++i], -255, 255)))
            options.blue = *n;
        else if (a == "--screen" && hasValue && (screen = sizeOf(args[++i])))
            continue;
        else if (a == "--dry-run")
            dryRun = true;
        else if (!a.starts_with("-") && file.empty())
            file = std::string(a);
        else
            return usageError(kUsage);
    }
    if (file.empty())
        return usageError(kUsage);
    if (!screen && options.mode >= 2)
        return usageError("wallpaper: modes 2 and 3 need the screen's size (--screen WxH)");

    auto pictures = describe({file});
    if (!pictures)
        return 1;
    RegistryPictureLoader loader(*pictures->registry);
    PictureBuffer picture;
    PictureSource entry = *pictures->entries.front();
    if (const int code = loader.loadForThumbnail(entry, 0, 0, picture); code != 0) {
        reportFailure(file, code, "the picture cannot be decoded");
        return 1;
    }
    // Upright and in sRGB, as the browser makes it.
    prepareForWriting(entry, &loader, picture);
    const WallpaperResult result =
        applyWallpaper(picture, options, screen ? screen->width : 0, screen ? screen->height : 0,
                       wallpaperFolder(), !dryRun, currentDesktopKind());
    if (result.code != 0) {
        std::fprintf(stderr, "vemra-cli: %s: %s\n",
                     result.path.empty() ? file.c_str() : result.path.c_str(),
                     wallpaperFailureText(result.code).c_str());
        return 1;
    }
    std::printf("%s\n", result.path.c_str());
    return 0;
}

} // namespace vemra::cli
