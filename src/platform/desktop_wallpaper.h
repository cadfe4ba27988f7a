#pragma once

#include <string>
#include <string_view>

namespace vemra {

// The desktops whose wallpaper we know how to set, each through its own
// interface; Other tries a generic X setter (feh, xwallpaper).
enum class DesktopKind { Gnome, Budgie, Cinnamon, Mate, Plasma, Xfce, Other };

// The desktop named by an XDG_CURRENT_DESKTOP value ("ubuntu:GNOME",
// "X-Cinnamon", "KDE", ...): its first name we know, ignoring letter case.
DesktopKind desktopKindOf(std::string_view currentDesktop);
// The desktop of this session, from the environment.
DesktopKind currentDesktopKind();

// Shows the picture file `path` as the desktop's wallpaper with placement
// `placement` (0 centred, 1 tiled, 2 stretched, 3 enlarged keeping its
// proportions), telling the desktop through its own programs found on
// PATH: gsettings (GNOME, Budgie, Cinnamon, MATE; the light and the dark
// picture where the desktop has both), Plasma's scripting interface on the
// session bus (gdbus, else qdbus), xfconf-query (Xfce, every monitor and
// workspace), else feh or xwallpaper. False when none of them accepted it.
bool setDesktopWallpaper(const std::string& path, int placement, DesktopKind desktop);

} // namespace vemra
