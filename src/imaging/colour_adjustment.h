#pragma once

#include "imaging/picture_buffer.h"

namespace vemra {

// Brightness (-100 to 100) and offsets of the red, green and blue levels
// (-255 to 255), as the wallpaper dialog sets them.
struct ColourAdjustment {
    int brightness = 0;
    int red = 0;
    int green = 0;
    int blue = 0;

    bool changesNothing() const { return brightness == 0 && red == 0 && green == 0 && blue == 0; }
};

// One component (0-255) adjusted: with d = brightness x 0.02, v becomes
// trunc(v + d (v - sqrt v)) clamped to 0-255, then the offset is added and
// the result clamped again. Brightness 50 turns 100 into 190, -50 into 10.
int adjustComponent(int value, int brightness, int offset);

// A copy of `picture` with its colours adjusted: the colour table of a
// picture of 1, 4 or 8 bits (its indexes stay), every pixel of a 24-bit
// one; 16- and 32-bit pictures come back as 24 bits. A plain copy when the
// adjustment changes nothing. Null when the copy cannot be made.
PictureBuffer adjustColours(const PictureBuffer& picture, const ColourAdjustment& adjustment);

} // namespace vemra
