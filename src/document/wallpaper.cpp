#include "document/wallpaper.h"

#include "imaging/bmp_file.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_save.h"
#include "imaging/scaling.h"
#include "platform/user_folders.h"
#include "settings/option_table.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace vemra {
namespace {

using O = WallpaperOptions;

const OptionKey<O> kKeys[] = {
    {"WallPaper", "Mode", &O::mode},         {"WallPaper", "Preview", &O::preview},
    {"WallPaper", "Bright", &O::bright},     {"WallPaper", "Red", &O::red},
    {"WallPaper", "Green", &O::green},       {"WallPaper", "Blue", &O::blue},
    {"WallPaper", "FileName", &O::fileName},
};

bool hasExtension(const std::string& name, std::string_view extension) {
    if (name.size() < extension.size())
        return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

// The file in the format its name asks for: a bitmap unless it ends in
// ".png" or ".jpg" (some X setters read no bitmaps).
bool writeWallpaperFile(const std::string& path, const PictureBuffer& picture) {
    if (hasExtension(path, ".png"))
        return savePng(path, picture, 0);
    if (hasExtension(path, ".jpg") || hasExtension(path, ".jpeg")) {
        JpegOptions options;
        options.quality = 95;
        return writeJpegFile(path, picture, options);
    }
    return writeBmpFile(path, picture);
}

} // namespace

WallpaperOptions WallpaperOptions::load(SettingsStore& store) {
    WallpaperOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    o.mode = std::clamp(o.mode, 0, 3);
    o.bright = std::clamp(o.bright, -100, 100);
    o.red = std::clamp(o.red, -255, 255);
    o.green = std::clamp(o.green, -255, 255);
    o.blue = std::clamp(o.blue, -255, 255);
    const std::string name = std::filesystem::path(o.fileName).filename().string();
    o.fileName = name.empty() || name == "." || name == ".." ? WallpaperOptions().fileName : name;
    return o;
}

void WallpaperOptions::save(SettingsStore& store) const {
    saveOptionKeys<O>(*this, kKeys, store);
}

std::string wallpaperFolder() {
    const std::string data = userDataFolder();
    return data.empty() ? std::string() : data + "/Vemra";
}

WallpaperSize wallpaperSize(int width, int height, int mode, int screenWidth, int screenHeight) {
    if (mode == 2)
        return {screenWidth, screenHeight};
    if (mode == 3 && width > 0 && height > 0) {
        const double f = std::min(static_cast<double>(screenWidth) / width,
                                  static_cast<double>(screenHeight) / height);
        return {static_cast<int>(width * f), static_cast<int>(height * f)};
    }
    return {width, height};
}

WallpaperResult applyWallpaper(const PictureBuffer& picture, const WallpaperOptions& options,
                               int screenWidth, int screenHeight, const std::string& folder,
                               bool tellDesktop, DesktopKind desktop) {
    WallpaperResult result;
    PictureBuffer adjusted = adjustColours(picture, options.adjustment());
    if (adjusted && (options.mode == 2 || options.mode == 3)) {
        const WallpaperSize size = wallpaperSize(adjusted.width(), adjusted.height(), options.mode,
                                                 screenWidth, screenHeight);
        adjusted = size.width > 0 && size.height > 0
                       ? scalePicture(adjusted, size.width, size.height, 0, ScaleMode::Automatic)
                       : PictureBuffer();
    }
    if (!adjusted) {
        result.code = -2;
        return result;
    }
    std::error_code error;
    if (!folder.empty())
        std::filesystem::create_directories(folder, error);
    result.path = (std::filesystem::path(folder) / options.fileName).string();
    if (folder.empty() || !writeWallpaperFile(result.path, adjusted)) {
        result.code = -3;
        return result;
    }
    if (tellDesktop && !setDesktopWallpaper(result.path, options.mode, desktop))
        result.code = -1;
    return result;
}

std::string wallpaperFailureText(int code) {
    return "壁紙の変更に失敗しました.[ErrCode=" + std::to_string(code) + "]";
}

} // namespace vemra
