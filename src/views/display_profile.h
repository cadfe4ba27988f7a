#pragma once

#include <cstddef>
#include <vector>

class QObject;

namespace vemra {

class FolderDocument;

// The ICC profile the desktop gives the display: the X11 root window's
// "_ICC_PROFILE" property, which colour managers (colord, GNOME's and KDE's
// settings, dispwin) set for the primary screen. Empty under Wayland and
// without a display, and when none is set. Interface thread.
std::vector<std::byte> desktopDisplayProfile();

// Hands the document the desktop's display profile now and again whenever
// the primary screen changes, for as long as `context` lives.
void followDesktopDisplayProfile(FolderDocument& document, QObject* context);

} // namespace vemra
