#pragma once

// What the JPEG decoders share around libjpeg(-turbo)'s classic API.
//
// The library reports errors through an error-exit hook that must not
// return; ours jumps back with longjmp to the setjmp of the function that
// called into the library. The helpers below that call the library hold no
// objects with destructors across those calls, so a jump skips nothing
// that needs cleaning up; their callers hold the setjmp.

#include "imaging/dib_layout.h"
#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <span>
#include <vector>

#include <jpeglib.h>

namespace vemra::jpeg {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// One decompression object, destroyed with the wrapper on every path.
// What libjpeg may allocate for one decode.
inline constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};

    Decompressor();
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

enum class HeaderResult { Read, NoImage, LibraryError };

// Reads the header of the stream in `data`, which must outlive the decoding.
HeaderResult readHeader(Decompressor& d, std::span<const std::byte> data, bool keepComments);
// Reads the header from the source already installed in `d`.
HeaderResult readHeaderFromSource(Decompressor& d, bool keepComments);

// The picture being decoded: created at the output size, filled a batch of
// rows at a time, top row last in memory (the bottom-up layout).
struct RowTarget {
    PictureBuffer picture;
    std::vector<unsigned char> cmyk; // one row of four-component samples
    bool fourComponents = false;
};

// Chooses the output colours and the size reduced by `reduction` (1, or up
// to 8 for 1/8; see DecodeOptions::jpegDenominator) and creates the
// picture; OutOfMemory beyond the pixel cap, UnsupportedKind for component
// counts other than 1, 3 and 4. Calls the library: the caller holds the
// setjmp. jpeg_start_decompress comes next.
ResultCode prepareRows(Decompressor& d, int reduction, RowTarget& target);
// Reads the next batch of rows (16, or one of four components). Calls the
// library: the caller holds the setjmp.
void readRowBatch(Decompressor& d, RowTarget& target);
inline bool allRowsRead(const Decompressor& d) {
    return d.cinfo.output_scanline >= d.cinfo.output_height;
}

} // namespace vemra::jpeg
