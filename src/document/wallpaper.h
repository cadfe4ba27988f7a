#pragma once

#include "imaging/colour_adjustment.h"
#include "imaging/picture_buffer.h"
#include "platform/desktop_wallpaper.h"

#include <string>

namespace vemra {

class SettingsStore;

// Section "WallPaper": the placement (0 centred, 1 tiled, 2 stretched to
// the screen, 3 enlarged to the screen keeping the proportions), the
// dialog's preview switch, the colour adjustment and the file's name.
struct WallpaperOptions {
    int mode = 0;
    bool preview = false;
    int bright = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
    std::string fileName = "KPZ_WALL.BMP";

    // Values out of range are brought into it; a file name keeps only its
    // last component, so that a stored value cannot lead outside the folder.
    static WallpaperOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
    ColourAdjustment adjustment() const { return {bright, red, green, blue}; }
};

// The folder the wallpaper file is written to: "Vemra" in the user's data
// folder ($XDG_DATA_HOME, else ~/.local/share); empty when there is none.
std::string wallpaperFolder();

// The size the picture is written at: its own for placements 0 and 1, the
// screen's for 2, and for 3 its own times min(screen width / width, screen
// height / height), truncated.
struct WallpaperSize {
    int width = 0;
    int height = 0;
};
WallpaperSize wallpaperSize(int width, int height, int mode, int screenWidth, int screenHeight);

// The codes of a failed wallpaper: -1 the desktop did not take it, -2 the
// adjusted picture could not be made, -3 the file could not be written.
struct WallpaperResult {
    int code = 0;
    std::string path; // the file written
};

// Makes the adjusted (and for placements 2 and 3 scaled) picture, writes it
// into `folder` under the options' file name, as a BMP file unless the name
// ends in ".png" or ".jpg" (replacing the
// old one only once complete) and, with `tellDesktop`, shows it on
// `desktop`.
WallpaperResult applyWallpaper(const PictureBuffer& picture, const WallpaperOptions& options,
                               int screenWidth, int screenHeight, const std::string& folder,
                               bool tellDesktop, DesktopKind desktop);

// "壁紙の変更に失敗しました.[ErrCode=%d]"
std::string wallpaperFailureText(int code);

} // namespace vemra
