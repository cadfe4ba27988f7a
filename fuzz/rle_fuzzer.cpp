// RLE expansion on arbitrary run data. The first five bytes choose the
// picture: width and height (1..1024 each) and RLE8 or RLE4; the rest is the
// compressed data, as a bitmap file would carry it.
#include "fuzz_support.h"
#include "imaging/picture_buffer.h"
#include "imaging/picture_convert.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    if (size < 5)
        return 0;
    DibHeader header;
    header.width = 1 + ((data[0] | data[1] << 8) & 1023);
    header.height = 1 + ((data[2] | data[3] << 8) & 1023);
    const bool rle8 = (data[4] & 1) != 0;
    header.bitCount = rle8 ? 8 : 4;
    header.compression = rle8 ? 1 : 2;
    header.imageSize = static_cast<std::uint32_t>(size - 5);
    PictureBuffer picture = PictureBuffer::create(header);
    if (!picture.isValid() || picture.pixels().size() < size - 5)
        return 0;
    if (size > 5)
        std::memcpy(picture.pixels().data(), data + 5, size - 5);
    if (expandRle(picture)) {
        // Compressing what was expanded must give a picture that expands
        // to the same pixels.
        PictureBuffer again = compressRle(picture);
        if (again.isValid() && !expandRle(again))
            std::abort();
    }
    return 0;
}
