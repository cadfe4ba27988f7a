#include "imaging/picture_convert.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace vemra {
namespace {

PictureBuffer maskedPicture(int bits, std::array<std::uint32_t, 3> masks,
                            std::initializer_list<std::uint32_t> values) {
    DibHeader h;
    h.width = static_cast<std::int32_t>(values.size());
    h.height = 1;
    h.bitCount = static_cast<std::uint16_t>(bits);
    h.compression = 3;
    PictureBuffer p = PictureBuffer::create(h);
    std::byte* m = p.block().data() + 40;
    for (std::size_t i = 0; i < 3; ++i) {
        storeU32(m + 4 * i, masks[i]);
    }
    std::size_t x = 0;
    for (const std::uint32_t v : values) {
        std::memcpy(p.pixels().data() + x * static_cast<std::size_t>(bits / 8), &v,
                    static_cast<std::size_t>(bits / 8));
        ++x;
    }
    return p;
}

TEST(To24Bits, FiveSixFiveFillsTheLowBitsWithOnes) {
    PictureBuffer p = maskedPicture(16, {0xF800, 0x07E0, 0x001F}, {0x0000, 0xFFFF, 0xF800, 0x0821});
    ASSERT_TRUE(convertTo24Bits(p));
    EXPECT_EQ(p.bitCount(), 24);
    EXPECT_EQ(p.compression(), Compression::None);
    EXPECT_EQ(p.colourTableBytes(), 0u);
    EXPECT_EQ(p.header()->imageSize, 0u);
    // Black: blue 7, green 3, red 7.
    EXPECT_EQ(p.pixel(0, 0), colourWord(7, 3, 7));
    EXPECT_EQ(p.pixel(1, 0), colourWord(255, 255, 255));
    EXPECT_EQ(p.pixel(2, 0), colourWord(255, 3, 7));
    // 1 in each channel: 1 << 3 | 7 = 15 for five bits, 1 << 2 | 3 = 7 for six.
    EXPECT_EQ(p.pixel(3, 0), colourWord(15, 7, 15));
}

TEST(To24Bits, SixteenBitsWithoutMasksAreFiveFiveFive) {
    PictureBuffer p = PictureBuffer::create(2, 1, 16);
    const std::uint16_t values[2] = {0x7C00, 0x001F};
    std::memcpy(p.pixels().data(), values, 4);
    ASSERT_TRUE(convertTo24Bits(p));
    EXPECT_EQ(p.pixel(0, 0), colourWord(255, 7, 7));
    EXPECT_EQ(p.pixel(1, 0), colourWord(7, 7, 255));
}

TEST(To24Bits, ThirtyTwoBitsDefaultAndShiftedMasks) {
    PictureBuffer plain = PictureBuffer::create(1, 1, 32);
    const std::uint32_t v = 0xAA112233;
    std::memcpy(plain.pixels().data(), &v, 4);
    ASSERT_TRUE(convertTo24Bits(plain));
    EXPECT_EQ(plain.pixel(0, 0), colourWord(0x11, 0x22, 0x33)); // the top byte is not a colour

    PictureBuffer shifted = maskedPicture(32, {0xFF000000, 0x00FF0000, 0x0000FF00}, {0x11223344});
    ASSERT_TRUE(convertTo24Bits(shifted));
    EXPECT_EQ(shifted.pixel(0, 0), colourWord(0x11, 0x22, 0x33));

    // Ten-bit channels keep their top eight bits.
    PictureBuffer wide = maskedPicture(32, {0x3FF00000, 0x000FFC00, 0x000003FF},
                                       {(0x3FFu << 20) | (0x200u << 10) | 0x004u});
    ASSERT_TRUE(convertTo24Bits(wide));
    EXPECT_EQ(wide.pixel(0, 0), colourWord(0xFF, 0x80, 0x01));
}

TEST(To24Bits, MasksWithHolesTakeBitsFromTheTopDown) {
    // Red mask 0b1010'0000'0000'0000 has two bits; green holds bits 8..11 and
    // 1; blue nothing, which leaves every bit of the channel set.
    PictureBuffer p = maskedPicture(16, {0xA000, 0x0F02, 0x0000}, {0x8F02, 0x2000});
    ASSERT_TRUE(convertTo24Bits(p));
    // Pixel 0: red bits (1,0) -> 0b10 << 6 | 0x3F; green bits 1111,1 -> 0b11111 << 3 | 7.
    EXPECT_EQ(p.pixel(0, 0), colourWord(0xBF, 0xFF, 0xFF));
    // Pixel 1: red bits (0,1) -> 0b01 << 6 | 0x3F; green 0 -> 7.
    EXPECT_EQ(p.pixel(1, 0), colourWord(0x7F, 0x07, 0xFF));
}

TEST(To24Bits, IndexedPicturesLookUpTheColourTable) {
    for (const int bits : {1, 4, 8}) {
        const PictureBuffer p = test::patternPicture(13, 6, bits);
        PictureBuffer converted = p.duplicate();
        ASSERT_TRUE(convertTo24Bits(converted)) << bits;
        ASSERT_EQ(converted.width(), 13);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 13; ++x) {
                EXPECT_EQ(converted.pixel(x, y), p.paletteColour(static_cast<int>(p.pixel(x, y))))
                    << bits << " bits at " << x << "," << y;
            }
        }
    }
}

TEST(To24Bits, IndicesBeyondAShortTableAreBlack) {
    PictureBuffer p = PictureBuffer::create(2, 1, 8, 2);
    p.setPaletteColour(1, colourWord(9, 9, 9));
    p.setPixel(0, 0, 1);
    p.setPixel(1, 0, 200);
    ASSERT_TRUE(convertTo24Bits(p));
    EXPECT_EQ(p.pixel(0, 0), colourWord(9, 9, 9));
    EXPECT_EQ(p.pixel(1, 0), 0u);
}

TEST(To24Bits, TwentyFourBitsComeBackAsTheSameBlock) {
    PictureBuffer p = test::patternPicture(5, 5, 24);
    const std::byte* before = p.block().data();
    ASSERT_TRUE(convertTo24Bits(p));
    EXPECT_EQ(p.block().data(), before);

    const PictureBuffer copy = copyAs24Bits(p);
    EXPECT_NE(copy.block().data(), before);
    EXPECT_TRUE(std::equal(p.block().begin(), p.block().end(), copy.block().begin()));
}

TEST(To24Bits, RefusalsLeaveThePictureAsItWas) {
    PictureBuffer two = PictureBuffer::create(4, 4, 2);
    ASSERT_TRUE(two.isValid());
    PictureBuffer rle = PictureBuffer::create([] {
        DibHeader h;
        h.width = 4;
        h.height = 4;
        h.bitCount = 8;
        h.compression = 1;
        h.imageSize = 2;
        return h;
    }());
    PictureBuffer invalid = PictureBuffer::allocate(20);
    for (PictureBuffer* p : {&two, &rle, &invalid}) {
        const std::byte* before = p->block().data();
        EXPECT_FALSE(convertTo24Bits(*p));
        EXPECT_EQ(p->block().data(), before);
        EXPECT_TRUE(copyAs24Bits(*p).isNull());
    }
}

TEST(To24Bits, KeepsResolutionAndRowOrder) {
    PictureBuffer p = PictureBuffer::create(3, -2, 8);
    p.setResolution(100, 200);
    p.setPaletteColour(1, colourWord(1, 2, 3));
    p.setPixel(2, 0, 1);
    ASSERT_TRUE(convertTo24Bits(p));
    EXPECT_EQ(p.pixel(2, 0), colourWord(1, 2, 3));
    EXPECT_EQ(p.header()->xPelsPerMeter, 100);
    EXPECT_EQ(p.header()->yPelsPerMeter, 200);
}

} // namespace
} // namespace vemra
