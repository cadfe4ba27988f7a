#pragma once

#include "document/cell_geometry.h"

#include <QFont>

#include <string>
#include <vector>

class QPainter;
class QPixmap;
class QRect;

namespace vemra {

class PictureSource;
struct DocumentOptions;

// How thumbnail cells look: the frame and caption switches, the caption
// lines and their font. The thumbnail grid paints its cells with it, and
// the contact sheet draws the same cells into its pictures.
struct CellLook {
    bool frame = false;
    bool name = true;
    bool nameFrame = true;
    std::vector<std::string> captionLines;
    QFont font;
    int lineHeight = 12;
    int captionHeight = 0; // lineHeight x the number of caption lines

    // The look of the document's options; needs a QGuiApplication for the
    // font's measures.
    static CellLook fromOptions(const DocumentOptions& options);
    // The cell's picture area for a cell of this size.
    CellGeometry geometry(int cellWidth, int cellHeight) const;
};

// Paints the cell of `entry` into `cell`: the background (selected or not),
// the focus frame, the bevel, the thumbnail centred in the picture area (or
// `icon` when there is no thumbnail; nothing when `icon` is null too), and
// the caption lines in their box. True when a thumbnail was drawn.
bool paintCell(QPainter& painter, const PictureSource& entry, const QRect& cell,
               const CellLook& look, const QPixmap* icon);

} // namespace vemra
