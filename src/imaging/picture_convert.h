#pragma once

#include "imaging/picture_buffer.h"

namespace vemra {

// Converts `picture` to 24 bits in place. A picture that is already 24 bits is
// left as it is (the same block). 1, 4 and 8 bits are looked up in the colour
// table; 16 and 32 bits are rebuilt from their channel masks. On failure
// (another depth, an RLE picture, no memory) `picture` is unchanged and
// false is returned.
bool convertTo24Bits(PictureBuffer& picture);

// A new 24-bit picture made from `picture` (a plain copy when it is 24 bits
// already); null when it cannot be converted.
PictureBuffer copyAs24Bits(const PictureBuffer& picture);

// Expands an RLE8 or RLE4 picture in place into an uncompressed one with the
// same header and palette. An uncompressed picture of 1, 4, 8 or 24 bits is
// left as it is. False, with `picture` unchanged, for other depths and for
// broken data: a run or literal that passes the end of its row.
bool expandRle(PictureBuffer& picture);

// Compresses an uncompressed 8-bit picture as RLE8 or a 4-bit one as RLE4;
// null for anything else.
PictureBuffer compressRle(const PictureBuffer& picture);

} // namespace vemra
