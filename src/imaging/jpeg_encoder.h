#pragma once

#include "imaging/picture_buffer.h"

#include "vemra/spi.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace vemra {

struct JpegOptions {
    int quality = 90; // 0-100; tables are kept within baseline limits
    bool progressive = false;
    bool grey = false; // one grey component instead of colour
    // An RGB ICC profile the colours are in, written as APP2 "ICC_PROFILE"
    // markers (empty: none; ignored with `grey`). Must outlive the call.
    std::span<const std::byte> iccProfile;
    ProgressCallback progress = nullptr;
    intptr_t userData = 0;
};

// Encodes any picture (converted to 24 bits first when needed) as JPEG with
// the comment "By ZRV.NQ". The progress callback gets (row, rows) each time
// the work is 10 points further on and (rows, rows) at the end; a non-zero
// answer stops the encoder. False on a library error or a stop.
bool encodeJpeg(const PictureBuffer& picture, const JpegOptions& options,
                std::vector<std::byte>& out);

// The same into a file; the file appears only when the whole JPEG has been
// written, so a failure or a stop never leaves a partial file or damages an
// existing one.
bool writeJpegFile(const std::string& path, const PictureBuffer& picture,
                   const JpegOptions& options);

// Saves in colour with the given quality: true on success.
bool saveJpeg(const std::string& path, const PictureBuffer& picture, int quality, bool progressive);

} // namespace vemra
