#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <span>
#include <string>

namespace vemra {

// Writes a BMP file. A target bit count of 1, 4 or 8 that differs from the
// picture's reduces it to a palette of 2, 16 or 256 colours first; 24
// converts a picture of another depth to 24 bits; 0 (or the picture's own
// depth) writes it unchanged. True on success; on failure no file is left.
bool saveBmp(const std::string& path, const PictureBuffer& picture, int targetBits);

// The same with the PNG writer; a non-empty `iccProfile` (an RGB profile
// the colours are in) is stored with the picture.
bool savePng(const std::string& path, const PictureBuffer& picture, int targetBits,
             std::span<const std::byte> iccProfile = {});

// The picture to write for a target bit count, as the two savers above use
// it: null when a needed conversion failed; `picture` itself is not copied
// when nothing is to be done (then `*unchanged` is set).
PictureBuffer prepareForDepth(const PictureBuffer& picture, int targetBits, bool& unchanged);

} // namespace vemra
