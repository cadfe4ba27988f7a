#include "imaging/dib_layout.h"
#include "imaging/picture_buffer.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

using test::infoHeader;

TEST(DibLayout, ColourTableSizesFollowDepthAndColoursUsed) {
    struct Case {
        int bits;
        std::uint32_t compression;
        std::uint32_t coloursUsed;
        std::size_t tableBytes;
    } cases[] = {
        {1, 0, 0, 8},   {4, 0, 0, 64},  {4, 0, 5, 20},      {8, 0, 0, 1024},
        {8, 0, 1, 4},   {16, 0, 0, 0},  {24, 0, 0, 0},      {32, 0, 0, 0},
        {16, 3, 0, 12}, {32, 3, 0, 12}, {24, 0, 300, 1200}, {2, 0, 0, 64},
    };
    for (const Case& c : cases) {
        const auto l = DibLayout::describe(
            infoHeader(10, 3, static_cast<std::uint16_t>(c.bits), c.compression, 0, c.coloursUsed));
        ASSERT_TRUE(l) << c.bits << " bits";
        EXPECT_EQ(l->colourTableBytes, c.tableBytes) << c.bits << " bits, " << c.coloursUsed;
        EXPECT_EQ(l->pixelOffset, 40 + c.tableBytes);
    }
}

TEST(DibLayout, RowBytesArePaddedToFourBytes) {
    for (int width = 1; width <= 70; ++width) {
        for (const int bits : {1, 4, 8, 16, 24, 32}) {
            const auto l =
                DibLayout::describe(infoHeader(width, 7, static_cast<std::uint16_t>(bits)));
            ASSERT_TRUE(l);
            const std::size_t used = (static_cast<std::size_t>(width) * bits + 7) / 8;
            EXPECT_EQ(l->rowBytes % 4, 0u);
            EXPECT_GE(l->rowBytes, used);
            EXPECT_LT(l->rowBytes, used + 4);
            EXPECT_EQ(l->imageBytes, l->rowBytes * 7);
            EXPECT_EQ(l->totalBytes, l->pixelOffset + l->imageBytes);
        }
    }
}

TEST(DibLayout, OddDepthsRoundUpAndZeroReadsAs24) {
    auto l = DibLayout::describe(infoHeader(5, 1, 0));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->bitCount, 24);
    EXPECT_EQ(l->rowBytes, 16u);
    l = DibLayout::describe(infoHeader(5, 1, 2));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->storageBits, 4);
    l = DibLayout::describe(infoHeader(5, 1, 12));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->storageBits, 16);
}

TEST(DibLayout, RleImageBytesComeFromTheSizeField) {
    const auto l = DibLayout::describe(infoHeader(100, 100, 8, 1, 77));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->imageBytes, 77u);
}

TEST(DibLayout, CoreHeaderHasThreeByteEntries) {
    std::vector<std::byte> h(12);
    storeU32(h.data(), 12);
    storeU16(h.data() + 4, 9);
    storeU16(h.data() + 6, 4);
    storeU16(h.data() + 8, 1);
    storeU16(h.data() + 10, 8);
    const auto l = DibLayout::describe(h);
    ASSERT_TRUE(l);
    EXPECT_TRUE(l->isCore());
    EXPECT_EQ(l->width, 9);
    EXPECT_EQ(l->height, 4);
    EXPECT_EQ(l->colourTableBytes, 768u);
    EXPECT_EQ(l->pixelOffset, 12u + 768u);
}

TEST(DibLayout, ForeignHeaderSizesReadAs24BitsWithoutTable) {
    auto h = infoHeader(4, 4, 8, 0, 0, 16);
    h.resize(108);
    storeU32(h.data(), 108);
    const auto l = DibLayout::describe(h);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->bitCount, 24);
    EXPECT_EQ(l->colourTableBytes, 0u);
    EXPECT_EQ(l->pixelOffset, 108u);
}

TEST(DibLayout, RefusesAbsurdHeaders) {
    const std::vector<std::byte> hostile[] = {
        infoHeader(0, 10, 24),               // zero width
        infoHeader(10, 0, 24),               // zero height
        infoHeader(-10, 10, 24),             // negative width
        infoHeader(10, INT32_MIN, 24),       // height that has no magnitude
        infoHeader(1 << 15, 1 << 14, 24),    // 2^29 pixels
        infoHeader(3000000, 2000000, 24),    // far beyond any memory
        infoHeader(10, 10, 33),              // no such depth
        infoHeader(10, 10, 8, 4),            // embedded JPEG
        infoHeader(10, 10, 4, 1, 10),        // RLE8 needs 8 bits
        infoHeader(10, 10, 8, 2, 10),        // RLE4 needs 4 bits
        infoHeader(10, 10, 24, 3),           // bit fields need 16 or 32 bits
        infoHeader(10, -10, 8, 1, 10),       // RLE cannot be top-down
        infoHeader(10, 10, 8, 0, 0, 257),    // more colours than 8 bits hold
        infoHeader(10, 10, 1, 0, 0, 3),      // more colours than 1 bit holds
        infoHeader(10, 10, 24, 0, 0, 70000), // absurd table for a deep picture
    };
    for (std::size_t i = 0; i < std::size(hostile); ++i) {
        EXPECT_FALSE(DibLayout::describe(hostile[i])) << "case " << i;
    }
    auto odd = infoHeader(10, 10, 24);
    storeU32(odd.data(), 20);
    EXPECT_FALSE(DibLayout::describe(odd));
    EXPECT_FALSE(DibLayout::describe(std::span(odd).first(3)));
    EXPECT_TRUE(DibLayout::describe(infoHeader(1 << 14, 1 << 14, 8))); // exactly 2^28 pixels
}

TEST(DibLayout, TopDownKeepsMagnitude) {
    const auto l = DibLayout::describe(infoHeader(3, -5, 24));
    ASSERT_TRUE(l);
    EXPECT_TRUE(l->topDown);
    EXPECT_EQ(l->height, 5);
}

} // namespace
} // namespace vemra
