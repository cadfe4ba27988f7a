#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

namespace vemra {

// EXIF orientations (TIFF 6.0 tag 274): how the stored rows are turned and
// mirrored relative to the upright picture. 1 is upright; 2 mirrored left to
// right; 3 turned half round; 4 upside down; 5 mirrored across the main
// diagonal; 6 to be turned a quarter clockwise; 7 mirrored across the other
// diagonal; 8 to be turned a quarter anticlockwise.

// Whether showing a picture of this orientation upright swaps its width and
// height (5 to 8).
constexpr bool orientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The upright size of a stored `width` x `height` picture.
inline PictureSize uprightSize(int width, int height, int orientation) {
    return orientationSwapsSides(orientation) ? PictureSize{height, width}
                                              : PictureSize{width, height};
}

// The picture shown upright: turned and mirrored as `orientation` says.
// Orientation 1, an orientation outside 1-8 or a null picture hand the
// picture back as it is; so does a failed turn (memory), rather than losing
// the picture.
PictureBuffer orientPicture(PictureBuffer picture, int orientation);

} // namespace vemra
