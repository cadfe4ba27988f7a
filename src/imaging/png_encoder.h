#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// Results of the PNG writer.
enum class PngResult : int {
    Success = 0,
    BadRequest = 2, // the request record has the wrong size
    OutOfMemory = 3,
    UnsupportedLayout = 4, // a depth, compression or mask layout PNG cannot take
    LibraryError = 5,
    BadHeader = 6,    // the picture's header or size is not sane
    CannotCreate = 9, // the file cannot be created
};

inline constexpr std::uint32_t kPngRequestSize = 40;
inline constexpr std::uint32_t kPngInterlaced = 1;

// What to write. `size` must be kPngRequestSize (callers that build the
// record by hand are checked). A memoryLength above 0 asks for the PNG in
// memory instead of a file, in at most that many bytes.
struct PngRequest {
    std::uint32_t size = kPngRequestSize;
    std::uint32_t flags = 0; // kPngInterlaced
    std::string fileName;
    std::size_t memoryLength = 0;
    const PictureBuffer* picture = nullptr;
    std::string software; // stored in a "Software" text chunk when not empty
    // An RGB ICC profile the colours are in, stored as an iCCP chunk (empty:
    // none). libpng checks it and leaves out one that does not fit.
    std::span<const std::byte> iccProfile;
};

// Writes the picture as PNG: palette pictures (1, 4, 8 bits, RLE expanded)
// keep their palette, 16-bit pictures get an sBIT chunk with their channel
// widths, deeper ones become 8-bit RGB; a non-zero resolution becomes pHYs.
// A file appears only when complete. `memory` receives the bytes when the
// request asks for memory output.
PngResult writePng(const PngRequest& request, std::vector<std::byte>* memory = nullptr);

} // namespace vemra
