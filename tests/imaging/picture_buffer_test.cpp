#include "imaging/picture_buffer.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vemra {
namespace {

TEST(PictureBuffer, NullPictureAnswersZero) {
    const PictureBuffer none;
    EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.width(), 0);
    EXPECT_EQ(none.height(), 0);
    EXPECT_EQ(none.bitCount(), 0);
    EXPECT_EQ(none.totalBytes(), 0u);
    EXPECT_EQ(none.pixel(0, 0), 0u);
    EXPECT_TRUE(none.pixels().empty());
    EXPECT_TRUE(none.duplicate().isNull());
}

TEST(PictureBuffer, CreateWritesAConsistentHeader) {
    const PictureBuffer p = PictureBuffer::create(13, 7, 4, 5);
    ASSERT_TRUE(p.isValid());
    EXPECT_EQ(p.width(), 13);
    EXPECT_EQ(p.height(), 7);
    EXPECT_EQ(p.bitCount(), 4);
    EXPECT_EQ(p.colourEntries(), 5);
    EXPECT_EQ(p.colourTableBytes(), 20u);
    EXPECT_EQ(p.rowBytes(), 8u);
    EXPECT_EQ(p.blockSize(), p.totalBytes());
    EXPECT_EQ(p.totalBytes(), 40u + 20u + 56u);
    EXPECT_EQ(p.header()->imageSize, 56u);
    EXPECT_EQ(p.header()->planes, 1);
    EXPECT_TRUE(PictureBuffer::create(0, 7, 24).isNull());
    EXPECT_TRUE(PictureBuffer::create(7, 7, 8, 300).isNull());
}

TEST(PictureBuffer, HeaderClaimingMoreThanTheBlockIsNoPicture) {
    PictureBuffer p = PictureBuffer::create(10, 10, 24);
    ASSERT_TRUE(p.isValid());
    ASSERT_TRUE(p.resizeBlock(p.blockSize() - 1));
    EXPECT_FALSE(p.isValid());
    EXPECT_EQ(p.width(), 0);
    EXPECT_TRUE(p.pixels().empty());
    EXPECT_TRUE(p.row(0).empty());
    p.setPixel(9, 9, 0xFFFFFF); // must not write past the block
    EXPECT_EQ(p.pixel(9, 9), 0u);

    PictureBuffer rle = PictureBuffer::allocate(40 + 1024 + 10);
    const auto h = test::infoHeader(4, 4, 8, 1, 11); // one byte more RLE data than there is
    std::memcpy(rle.block().data(), h.data(), h.size());
    EXPECT_FALSE(rle.isValid());
}

TEST(PictureBuffer, PixelsOfEveryIndexedDepthAndTrueColour) {
    for (const int bits : {1, 4, 8, 24}) {
        PictureBuffer p = PictureBuffer::create(11, 5, bits);
        const std::uint32_t maxValue = bits == 24 ? 0xFFFFFF : (1u << bits) - 1;
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 11; ++x) {
                p.setPixel(x, y,
                           static_cast<std::uint32_t>(x * 7 + y * 3 + x * y * 0x10203) & maxValue);
            }
        }
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 11; ++x) {
                EXPECT_EQ(p.pixel(x, y),
                          static_cast<std::uint32_t>(x * 7 + y * 3 + x * y * 0x10203) & maxValue)
                    << bits << " bits at " << x << "," << y;
            }
        }
        // Outside the picture: ignored, and the padding stays untouched.
        const auto before = std::vector<std::byte>(p.block().begin(), p.block().end());
        p.setPixel(11, 0, maxValue);
        p.setPixel(-1, 0, maxValue);
        p.setPixel(0, 5, maxValue);
        p.setPixel(0, -1, maxValue);
        EXPECT_EQ(before, std::vector<std::byte>(p.block().begin(), p.block().end()));
        EXPECT_EQ(p.pixel(11, 0), 0u);
    }
}

TEST(PictureBuffer, PixelBitOrderAndRowOrderMatchTheFileLayout) {
    PictureBuffer one = PictureBuffer::create(9, 2, 1);
    one.setPixel(0, 0, 1); // top row is the last stored row; leftmost pixel in the top bit
    EXPECT_EQ(one.pixels()[one.rowBytes()], std::byte{0x80});
    one.setPixel(8, 1, 1);
    EXPECT_EQ(one.pixels()[1], std::byte{0x80});

    PictureBuffer four = PictureBuffer::create(3, 1, 4);
    four.setPixel(0, 0, 0xA);
    four.setPixel(1, 0, 0x5);
    four.setPixel(2, 0, 0xF);
    EXPECT_EQ(four.pixels()[0], std::byte{0xA5});
    EXPECT_EQ(four.pixels()[1], std::byte{0xF0});

    PictureBuffer rgb = PictureBuffer::create(1, 1, 24);
    rgb.setPixel(0, 0, colourWord(0x11, 0x22, 0x33));
    EXPECT_EQ(rgb.pixels()[0], std::byte{0x33}); // blue first
    EXPECT_EQ(rgb.pixels()[2], std::byte{0x11});

    // Depths without pixel access are left alone.
    PictureBuffer deep = PictureBuffer::create(2, 2, 16);
    deep.setPixel(0, 0, 0xFFFF);
    EXPECT_EQ(deep.pixel(0, 0), 0u);
}

TEST(PictureBuffer, TopDownPicturesAddressRowsFromTheTop) {
    PictureBuffer p = PictureBuffer::create(2, -3, 8);
    ASSERT_TRUE(p.isValid());
    p.setPixel(1, 0, 42);
    EXPECT_EQ(p.pixels()[1], std::byte{42});
    EXPECT_EQ(p.height(), 3);
}

TEST(PictureBuffer, PaletteAndHeaderEdits) {
    PictureBuffer p = PictureBuffer::create(2, 2, 8, 4);
    p.setPaletteColour(3, colourWord(1, 2, 3));
    EXPECT_EQ(p.paletteColour(3), colourWord(1, 2, 3));
    EXPECT_EQ(p.colourTable()[12], std::byte{3}); // blue, green, red, 0
    p.setPaletteColour(4, 0xFFFFFF);              // beyond the table: ignored
    EXPECT_EQ(p.paletteColour(4), 0u);

    p.setResolution(2835, 2834);
    EXPECT_EQ(p.header()->xPelsPerMeter, 2835);
    EXPECT_EQ(p.header()->yPelsPerMeter, 2834);

    DibHeader bigger = *p.header();
    bigger.width = 100;
    EXPECT_FALSE(p.setHeader(bigger));
    EXPECT_EQ(p.width(), 2);
    DibHeader smaller = *p.header();
    smaller.coloursUsed = 2;
    EXPECT_TRUE(p.setHeader(smaller));
    EXPECT_EQ(p.colourEntries(), 2);
}

TEST(PictureBuffer, DuplicateCopiesEveryByteIntoANewBlock) {
    const PictureBuffer p = test::patternPicture(17, 9, 8);
    const PictureBuffer copy = p.duplicate();
    ASSERT_EQ(copy.blockSize(), p.blockSize());
    EXPECT_NE(copy.block().data(), p.block().data());
    EXPECT_TRUE(std::equal(p.block().begin(), p.block().end(), copy.block().begin()));
}

TEST(PictureBuffer, MovingTransfersTheBlock) {
    PictureBuffer a = PictureBuffer::create(4, 4, 24);
    const std::byte* data = a.block().data();
    PictureBuffer b = std::move(a);
    EXPECT_EQ(b.block().data(), data);
    EXPECT_TRUE(a.isNull()); // NOLINT(bugprone-use-after-move): moved-from is defined as null
}

} // namespace
} // namespace vemra
