#pragma once

#include "document/picture_source.h"

namespace vemra {

// A grid cell and the part of it a thumbnail may take. The cell size decides
// whether a thumbnail in memory still fits (it is compared with the entry's
// box size); the picture area is what the thumbnail is made for.
struct CellGeometry {
    int cellWidth = 0;
    int cellHeight = 0;
    int areaWidth = 0;
    int areaHeight = 0;
    friend bool operator==(const CellGeometry&, const CellGeometry&) = default;
};

// The picture area of a cell laid out like the grid's: a frame takes 2
// pixels on every side; with captions the bottom captionHeight + 4 pixels
// hold the caption lines and the picture ends 6 pixels above them.
// `captionHeight` is the caption font's line height times the number of
// caption lines. The area is at least 1 x 1.
CellGeometry cellGeometry(int cellWidth, int cellHeight, const EntryDrawingOptions& drawing,
                          int captionHeight);

} // namespace vemra
