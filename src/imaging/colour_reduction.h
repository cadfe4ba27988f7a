#pragma once

#include "imaging/colour_mapping.h"
#include "imaging/picture_buffer.h"

#include "vemra/spi.h"

#include <array>

namespace vemra {

struct ReductionOptions {
    int targetColours = 256;
    // -1 none; else the corner whose colour becomes the transparent (last)
    // palette entry: 0 top-left, 1 bottom-left, 2 top-right, 3 bottom-right.
    int transparentCorner = -1;
    // Keeps 16 entries for the standard system colours.
    bool reserveSystemColours = false;
    MappingMode mode = MappingMode::FloydSteinberg;
    int strength = 5; // tenths of the error that diffuses
    std::array<int, 3> chroma = {85, 105, 125};
};

// Reduces any picture to a palette picture of at most `targetColours`
// colours: 8 bits when the palette has more than 16 entries, 4 bits for 3 to
// 16, 1 bit for 2 or fewer. Smooth areas weigh more in the palette search so
// that gradients keep their steps small. `progress` is called with (0..1000,
// 1000, userData); a non-zero answer stops the work and nothing is returned.
// Null also when the picture cannot be read or memory runs out.
PictureBuffer reduceColours(const PictureBuffer& picture, const ReductionOptions& options = {},
                            ProgressCallback progress = nullptr, intptr_t userData = 0);

} // namespace vemra
