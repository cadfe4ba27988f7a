#pragma once

#include <QImage>

namespace vemra {

class PictureSource;

// The 32 x 32 icon of the entry's file type from the desktop's icon theme;
// a plain sheet of paper when the theme has none (as on a server). Needs a
// QGuiApplication.
QImage fileTypeIcon(const PictureSource& entry);

} // namespace vemra
