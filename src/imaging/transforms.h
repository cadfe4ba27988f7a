#pragma once

#include "imaging/picture_buffer.h"

namespace vemra {

// Rotates `picture` clockwise by `angle` degrees (y grows downwards) into a
// picture of the rotated bounding size, keeping depth and colour table
// (1, 4, 8, 16, 24 and 32 bits; RLE pictures are expanded). Multiples of 90
// degrees are exact copies, turned; other angles leave the corners outside
// the picture at 0. An angle of 0 gives a copy. Null when memory runs out or
// the rotated size is larger than kMaxPicturePixels.
PictureBuffer rotatePicture(const PictureBuffer& picture, double angle);

// The same, handing back the picture itself when the angle is 0 or on
// failure.
PictureBuffer rotatePicture(PictureBuffer&& picture, double angle);

// Whether `angle` is a multiple of 90 degrees (within 0.0001), and the number
// of clockwise quarter turns (0-3) it amounts to.
bool isRightAngle(double angle);
int quarterTurns(double angle);

// Reverses every row in place (left-right). False, with the picture
// unchanged, for RLE pictures and unsupported depths.
bool mirrorPicture(PictureBuffer& picture);

// Turns the picture upside down in place. False for RLE pictures.
bool flipPicture(PictureBuffer& picture);

} // namespace vemra
