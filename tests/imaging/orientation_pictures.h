#pragma once

#include "imaging/picture_buffer.h"

#include <string>

namespace vemra::test {

// An "F" on white, 48 x 64 upright, drawn in 8 x 8 squares so that any
// fitted copy of it can be checked square by square.
inline constexpr int kUprightFWidth = 48;
inline constexpr int kUprightFHeight = 64;

// The picture a camera stores for the upright F when it writes EXIF
// orientation `orientation` (1-8), built from the standard's description of
// each value (where the stored first row and column lie in the upright
// picture), independently of the program's own transforms.
PictureBuffer storedF(int orientation);

// storedF(orientation) as a JPEG file at `path` carrying that orientation in
// its EXIF block (written with exiv2), plus the other fields of
// `withShootingInfo` when asked: camera, lens, exposure, ISO, focal length,
// date taken and a GPS position.
// With `withThumbnail` the EXIF block also carries the stored picture as its
// thumbnail, as cameras do.
void writeOrientedJpeg(const std::string& path, int orientation, bool withShootingInfo = false,
                       bool withThumbnail = false);

// Whether `picture` shows the upright F: every square of the F dark, every
// other square light. An empty string when it does, else what is wrong.
std::string uprightFMismatch(const PictureBuffer& picture);

} // namespace vemra::test
