#pragma once

#include "imaging/picture_buffer.h"

#include <QImage>
#include <QRgb>

#include <span>

namespace vemra {

// A picture made from a QImage (a platform bitmap). The depth follows the
// image's: 1 bit -> 1 bit with 2 colours, up to 4 -> 4 bits with 16, up to 8
// -> 8 bits with 256, up to 16 -> 16 bits (5-5-5), up to 24 -> 24 bits, more
// -> 32 bits; pictures deeper than 8 bits have no colour table. The colours
// are the image's own, or `palette` when the image has none. Null on failure.
PictureBuffer pictureFromImage(const QImage& image, std::span<const QRgb> palette = {});

// The same with a requested compression: RLE8 for an 8-bit result, RLE4 for
// a 4-bit one, bit fields (5-6-5 or 8-8-8 masks) for 16 or 32 bits. Null when
// the compression does not fit the depth.
PictureBuffer pictureFromImage(const QImage& image, Compression compression);

// A QImage that shares the rows of `picture` without copying them, for
// drawing. Its first line is the picture's BOTTOM row (the rows are stored
// bottom-up), so it must be drawn mirrored; see drawPicture(). It stays
// valid only while `picture` lives and keeps its block. Only uncompressed
// 1-, 8- and 24-bit pictures with a 40-byte header are shared; null for the
// rest: use pictureToImage() for those.
QImage wrapStoredRows(const PictureBuffer& picture);

// An owned, upright QImage copy of any valid picture (RLE expanded, other
// depths converted); null for an invalid picture.
QImage pictureToImage(const PictureBuffer& picture);

} // namespace vemra
