#pragma once

#include "imaging/result_code.h"

#include <vemra/spi.h>

#include <cstddef>
#include <span>

namespace vemra {

class PictureBuffer;
struct DecodeOptions;

// Decodes the JPEG stream `data` (from its first byte) in one go, as the
// built-in decoder does: rows decoded before damage in the data count as
// success. With `info`, the header also fills it as the info operation
// does, and the reduction is chosen from the header's size when the
// options ask for a size (see BuiltinDecoder::pictureAndInfo).
ResultCode decodeJpegStream(std::span<const std::byte> data, const DecodeOptions& options,
                            PictureBuffer& out, PictureInfo* info = nullptr);

// Where the JPEG stream in `data` begins: the first FF D8 from which a chain
// of marker segments leads to a start-of-scan marker, or 0 when there is none.
std::size_t jpegDataStart(std::span<const std::byte> data);

} // namespace vemra
