// Inputs that fuzzing found to cost far more than their size, kept so the
// readers stay bounded. Each file in the regressions folder is named after
// the decoder that read it.
#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

std::vector<std::byte> regression(const std::string& name) {
    return test::readFile(std::string(VEMRA_REGRESSION_DIR) + "/" + name);
}

TEST(HostileInput, PngChunkRunningPastTheFileFailsWithoutAllocating) {
    // A text chunk declaring 1.8 GB in a 716-byte file: libpng would allocate
    // and clear that much before noticing.
    const auto data = regression("png-chunk-past-end.png");
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(test::decodeMemory(kPngDecoderId, data).code,
              static_cast<int>(ResultCode::LibraryFailure));
    EXPECT_EQ(test::infoMemory(kPngDecoderId, data).code,
              static_cast<int>(ResultCode::LibraryFailure));
}

TEST(HostileInput, ProgressiveJpegDeclaringAHugePictureFailsWithoutAllocatingIt) {
    // 147 bytes declaring a progressive 65476 x 14848 picture: libjpeg would
    // keep 1.9 GB of coefficients for it at any reduction.
    const auto data = regression("jpeg-progressive-huge-declared-size.jpg");
    ASSERT_FALSE(data.empty());
    // At full size the picture itself is over the pixel limit; reduced, it
    // would fit, and it is the library's memory limit that refuses it.
    for (const int reduction : {1, 2, 8}) {
        DecodeOptions options;
        options.reduction = reduction;
        const auto decoded = test::decodeMemory(kJpegDecoderId, data, options);
        const ResultCode expected =
            reduction == 1 ? ResultCode::OutOfMemory : ResultCode::LibraryFailure;
        EXPECT_EQ(decoded.code, static_cast<int>(expected)) << reduction;
        EXPECT_FALSE(decoded.picture.isValid());
    }
}

TEST(HostileInput, GifFrameWithUnusableDataFailsWithoutWorkingThroughItsSize) {
    // 44 bytes declaring a 65535 x 1321 frame whose code size is out of
    // range: refused, and the rows the data never reached are not packed.
    const auto data = regression("gif-huge-frame-no-data.gif");
    ASSERT_FALSE(data.empty());
    const auto decoded = test::decodeMemory(kGifDecoderId, data);
    EXPECT_EQ(decoded.code, static_cast<int>(ResultCode::Aborted));
    EXPECT_FALSE(decoded.picture.isValid());
}

TEST(HostileInput, InterlacedGifFrameWithoutDataStaysBlank) {
    // The same huge frame, interlaced and with a code size in range but no
    // codes: a blank picture of the declared size.
    const auto data = regression("gif-interlaced-huge-frame.gif");
    ASSERT_FALSE(data.empty());
    const auto decoded = test::decodeMemory(kGifDecoderId, data);
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.picture.width(), 65535);
    EXPECT_EQ(decoded.picture.height(), 1321);
    EXPECT_EQ(decoded.picture.pixel(0, 0), 0u);
    EXPECT_EQ(decoded.picture.pixel(65534, 1320), 0u);
}

} // namespace
} // namespace vemra
