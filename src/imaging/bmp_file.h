#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace vemra {

class ByteSource;

// What a reader hands back: a picture, or the reason there is none.
struct ReadResult {
    ResultCode code = ResultCode::Failure;
    PictureBuffer picture;

    explicit operator bool() const { return code == ResultCode::Success; }
};

// Reads a Windows bitmap file with a 40-byte information header or a 12-byte
// core header. The picture comes back exactly as stored (RLE data stays
// compressed; see expandRle), except that a core header is widened to a
// 40-byte one and a top-down file is turned into bottom-up rows, so every
// picture downstream has one row order and one header form.
//
// Refused: a file shorter than its headers, a missing "BM", other header
// sizes, absurd sizes, a pixel offset outside the file, or pixel data that
// the file does not hold.
ReadResult readBmp(const ByteSource& source);
ReadResult readBmpFile(const std::string& path);

// The file image of a picture with a 40-byte header: the 14-byte file header
// followed by the whole block. Empty for pictures it cannot write.
std::vector<std::byte> encodeBmp(const PictureBuffer& picture);

// Writes `picture` as a BMP file, replacing `path` only when the whole file
// has been written; a failure leaves no new file behind.
bool writeBmpFile(const std::string& path, const PictureBuffer& picture);

} // namespace vemra
