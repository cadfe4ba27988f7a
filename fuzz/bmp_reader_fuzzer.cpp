// The bitmap-file reader on arbitrary bytes, and what the program does with
// what it reads: expanding RLE data, widening to 24 bits, writing it again.
#include "fuzz_support.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "platform/byte_source.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    ReadResult read = readBmp(MemorySource(fuzz::asBytes(data, size)));
    if (!read)
        return 0;
    PictureBuffer& picture = read.picture;
    if (picture.compression() == Compression::Rle8 || picture.compression() == Compression::Rle4) {
        if (!expandRle(picture))
            return 0;
    }
    const std::vector<std::byte> written = encodeBmp(picture);
    // What the program writes it must read back.
    if (!written.empty() && !readBmp(MemorySource(written)))
        std::abort();
    // A few bytes of RLE may rightly declare a huge blank picture (up to the
    // reader's pixel limit); widening one of those costs time in proportion
    // to its size and proves nothing, so only ordinary sizes are widened.
    if (static_cast<std::int64_t>(picture.width()) * picture.height() <= (1 << 22))
        (void)convertTo24Bits(picture);
    return 0;
}
