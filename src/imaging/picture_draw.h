#pragma once

#include "imaging/picture_buffer.h"

#include <QPoint>
#include <QRect>

class QPainter;

namespace vemra {

// How drawn pixels combine with those already there.
enum class RasterOp {
    Copy, // the source replaces the destination
    And,  // source AND destination
    Or,   // source OR destination
    Xor,  // source XOR destination
};

// Draws the `source` rectangle of `picture` (coordinates from the top-left;
// a null rectangle means the whole picture) stretched into `target`. The
// stretch drops or repeats pixels without smoothing, which keeps pixel art
// and thumbnails crisp and is the fastest path.
void drawPicture(QPainter& painter, const QRect& target, const PictureBuffer& picture,
                 const QRect& source = {}, RasterOp op = RasterOp::Copy);

// Draws `picture` 1:1 with its top-left corner at `at`.
void drawPicture(QPainter& painter, QPoint at, const PictureBuffer& picture);

} // namespace vemra
