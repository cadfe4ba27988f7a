#include "platform/desktop_wallpaper.h"

#include "platform/ascii_case.h"
#include "platform/program_runner.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace vemra {
namespace {

using CommandLine = std::vector<std::string>;

// The most properties of Xfce's desktop channel we set; a machine has one
// per monitor and workspace.
constexpr std::size_t kMaxXfceBackdrops = 256;

// "file://" and the path with every byte outside the unreserved set and "/"
// percent-encoded: quotes too, since the URI stands inside a script and
// inside GVariant text.
std::string quotableFileUri(std::string_view path) {
    std::string uri = "file://";
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

int clampedPlacement(int placement) {
    return std::clamp(placement, 0, 3);
}

// gsettings' picture-options for our placements (GNOME, Cinnamon, MATE).
std::string_view gsettingsOption(int placement) {
    constexpr std::array<std::string_view, 4> kOptions{"centered", "wallpaper", "stretched",
                                                       "scaled"};
    return kOptions[static_cast<std::size_t>(clampedPlacement(placement))];
}

bool run(const CommandLine& command) {
    return runProgram(command).succeeded();
}

bool setThroughGsettings(const std::string& path, int placement, DesktopKind desktop) {
    const std::string option(gsettingsOption(placement));
    if (desktop == DesktopKind::Mate) {
        return run({"gsettings", "set", "org.mate.background", "picture-filename", path}) &&
               run({"gsettings", "set", "org.mate.background", "picture-options", option});
    }
    const std::string schema = desktop == DesktopKind::Cinnamon ? "org.cinnamon.desktop.background"
                                                                : "org.gnome.desktop.background";
    const std::string uri = quotableFileUri(path);
    if (!run({"gsettings", "set", schema, "picture-uri", uri}))
        return false;
    // GNOME 42 and later show another picture in the dark style; older
    // versions have no such key, which is no failure.
    if (desktop != DesktopKind::Cinnamon)
        run({"gsettings", "set", schema, "picture-uri-dark", uri});
    return run({"gsettings", "set", schema, "picture-options", option});
}

// Plasma's desktop scripting: every desktop gets the picture plug-in with
// the file and its fill mode (6 pad, 3 tile, 0 stretch, 1 fit).
std::string plasmaScript(const std::string& path, int placement) {
    constexpr std::array<int, 4> kFillModes{6, 3, 0, 1};
    // The URI holds no quote or backslash, so it stands in the script as is.
    return "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; "
           "d.wallpaperPlugin = 'org.kde.image'; "
           "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
           "d.writeConfig('Image', '" +
           quotableFileUri(path) + "'); d.writeConfig('FillMode', " +
           std::to_string(kFillModes[static_cast<std::size_t>(clampedPlacement(placement))]) +
           "); }";
}

bool setThroughPlasma(const std::string& path, int placement) {
    const std::string script = plasmaScript(path, placement);
    if (programOnPath("gdbus")) {
        // gdbus reads its arguments as GVariant text: a quoted string.
        return run({"gdbus", "call", "--session", "--dest", "org.kde.plasmashell", "--object-path",
                    "/PlasmaShell", "--method", "org.kde.PlasmaShell.evaluateScript",
                    "\"" + script + "\""});
    }
    for (const char* qdbus : {"qdbus6", "qdbus"}) {
        if (programOnPath(qdbus))
            return run({qdbus, "org.kde.plasmashell", "/PlasmaShell",
                        "org.kde.PlasmaShell.evaluateScript", script});
    }
    return false;
}

// Xfce keeps a picture per monitor and workspace: every "last-image"
// property of the desktop channel is set, or the first screen's when
// there is none yet.
bool setThroughXfconf(const std::string& path, int placement) {
    constexpr std::array<int, 4> kStyles{1, 2, 3, 4};
    const std::string style =
        std::to_string(kStyles[static_cast<std::size_t>(clampedPlacement(placement))]);
    const ProgramRun listing = runProgram({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (!listing.succeeded())
        return false;
    std::vector<std::string> images;
    std::size_t start = 0;
    while (start < listing.output.size() && images.size() < kMaxXfceBackdrops) {
        std::size_t end = listing.output.find('\n', start);
        if (end == std::string::npos)
            end = listing.output.size();
        const std::string_view line(listing.output.data() + start, end - start);
        if (line.starts_with("/backdrop/") && line.ends_with("/last-image"))
            images.emplace_back(line);
        start = end + 1;
    }
    if (images.empty()) {
        const std::string base = "/backdrop/screen0/monitor0/workspace0";
        return run({"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/last-image", "-n", "-t",
                    "string", "-s", path}) &&
               run({"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/image-style", "-n", "-t",
                    "int", "-s", style});
    }
    bool ok = true;
    for (const std::string& image : images) {
        const std::string base =
            image.substr(0, image.size() - std::string_view("/last-image").size());
        ok = run({"xfconf-query", "-c", "xfce4-desktop", "-p", image, "-s", path}) && ok;
        ok = run({"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/image-style", "-n", "-t",
                  "int", "-s", style}) &&
             ok;
    }
    return ok;
}

bool setThroughXSetter(const std::string& path, int placement) {
    const auto p = static_cast<std::size_t>(clampedPlacement(placement));
    if (programOnPath("feh")) {
        constexpr std::array<const char*, 4> kModes{"--bg-center", "--bg-tile", "--bg-scale",
                                                    "--bg-max"};
        return run({"feh", kModes[p], path});
    }
    if (programOnPath("xwallpaper")) {
        constexpr std::array<const char*, 4> kModes{"--center", "--tile", "--stretch",
                                                    "--maximize"};
        return run({"xwallpaper", kModes[p], path});
    }
    return false;
}

} // namespace

DesktopKind desktopKindOf(std::string_view currentDesktop) {
    struct Name {
        std::string_view name;
        DesktopKind kind;
    };
    constexpr Name kNames[] = {
        {"GNOME", DesktopKind::Gnome},
        {"GNOME-Classic", DesktopKind::Gnome},
        {"GNOME-Flashback", DesktopKind::Gnome},
        {"ubuntu", DesktopKind::Gnome},
        {"Unity", DesktopKind::Gnome},
        {"Pantheon", DesktopKind::Gnome},
        {"Budgie", DesktopKind::Budgie},
        {"X-Cinnamon", DesktopKind::Cinnamon},
        {"Cinnamon", DesktopKind::Cinnamon},
        {"MATE", DesktopKind::Mate},
        {"KDE", DesktopKind::Plasma},
        {"XFCE", DesktopKind::Xfce},
    };
    // The names are in the desktop's order of preference ("Budgie:GNOME"):
    // the first one we know decides.
    std::size_t start = 0;
    while (start <= currentDesktop.size()) {
        std::size_t end = currentDesktop.find(':', start);
        if (end == std::string_view::npos)
            end = currentDesktop.size();
        const std::string_view name = currentDesktop.substr(start, end - start);
        for (const Name& n : kNames) {
            if (equalIgnoringCase(name, n.name))
                return n.kind;
        }
        start = end + 1;
    }
    return DesktopKind::Other;
}

DesktopKind currentDesktopKind() {
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    return desktopKindOf(value != nullptr ? value : "");
}

bool setDesktopWallpaper(const std::string& path, int placement, DesktopKind desktop) {
    switch (desktop) {
    case DesktopKind::Gnome:
    case DesktopKind::Budgie:
    case DesktopKind::Cinnamon:
    case DesktopKind::Mate:
        if (programOnPath("gsettings"))
            return setThroughGsettings(path, placement, desktop);
        break;
    case DesktopKind::Plasma:
        if (programOnPath("gdbus") || programOnPath("qdbus6") || programOnPath("qdbus"))
            return setThroughPlasma(path, placement);
        break;
    case DesktopKind::Xfce:
        if (programOnPath("xfconf-query"))
            return setThroughXfconf(path, placement);
        break;
    case DesktopKind::Other:
        break;
    }
    // A desktop whose own programs are missing, or one we do not know.
    return setThroughXSetter(path, placement);
}

} // namespace vemra
