#include "imaging/picture_convert.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace vemra {
namespace {

PictureBuffer rlePicture(int width, int height, int bits, const std::vector<std::byte>& data) {
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<std::uint16_t>(bits);
    h.compression = bits == 8 ? 1 : 2;
    h.imageSize = static_cast<std::uint32_t>(data.size());
    PictureBuffer p = PictureBuffer::create(h);
    if (!data.empty()) {
        std::memcpy(p.pixels().data(), data.data(), data.size());
    }
    for (int i = 0; i < p.colourEntries(); ++i) {
        p.setPaletteColour(i, colourWord(i, i, i));
    }
    return p;
}

// Row y of the expanded picture, y from the top.
std::vector<std::uint32_t> rowOf(const PictureBuffer& p, int y) {
    std::vector<std::uint32_t> out;
    for (int x = 0; x < p.width(); ++x) {
        out.push_back(p.pixel(x, y));
    }
    return out;
}

using Row = std::vector<std::uint32_t>;

TEST(Rle, Rle8RunsLiteralsDeltasAndEnds) {
    // Bottom row: run of 3 x 5, literal 7 8 9 (odd, padded), run 1 x 6.
    // Next row: delta (+2, +0), run 2 x 4, end of line. Top row: end of bitmap.
    PictureBuffer p = rlePicture(7, 3, 8, test::bytes({3, 5, 0, 3, 7, 8, 9, 0, 1, 6, 0, 0, //
                                                       0, 2, 2, 0, 2, 4, 0, 0,             //
                                                       0, 1, 9, 9}));
    ASSERT_TRUE(expandRle(p));
    EXPECT_EQ(p.compression(), Compression::None);
    EXPECT_EQ(p.header()->imageSize, 0u);
    EXPECT_EQ(p.paletteColour(5), colourWord(5, 5, 5));
    EXPECT_EQ(rowOf(p, 2), (Row{5, 5, 5, 7, 8, 9, 6}));
    EXPECT_EQ(rowOf(p, 1), (Row{0, 0, 4, 4, 0, 0, 0}));
    EXPECT_EQ(rowOf(p, 0), (Row{0, 0, 0, 0, 0, 0, 0}));
}

TEST(Rle, DeltaMovesUpRows) {
    PictureBuffer p = rlePicture(4, 3, 8, test::bytes({0, 2, 1, 2, 1, 7, 0, 1}));
    ASSERT_TRUE(expandRle(p));
    EXPECT_EQ(rowOf(p, 0), (Row{0, 7, 0, 0}));
}

TEST(Rle, Rle4AlternatesNibbles) {
    // Run of 5 with 0x12 -> 1 2 1 2 1; literal of 3 nibbles 3 4 5 in two bytes
    // padded to four.
    PictureBuffer p = rlePicture(8, 1, 4, test::bytes({5, 0x12, 0, 3, 0x34, 0x50, 0, 1}));
    ASSERT_TRUE(expandRle(p));
    EXPECT_EQ(p.bitCount(), 4);
    EXPECT_EQ(rowOf(p, 0), (Row{1, 2, 1, 2, 1, 3, 4, 5}));
}

TEST(Rle, RunOrLiteralPastTheRowEndFails) {
    const std::vector<std::byte> broken[] = {
        test::bytes({5, 1, 0, 1}),             // run of 5 in a row of 4
        test::bytes({2, 1, 3, 1, 0, 1}),       // the second run crosses the edge
        test::bytes({0, 5, 1, 2, 3, 4, 5, 0}), // literal of 5
        test::bytes({0, 2, 3, 0, 2, 1, 0, 1}), // delta to x 3, then a run of 2
    };
    for (const auto& data : broken) {
        PictureBuffer p = rlePicture(4, 2, 8, data);
        const std::vector<std::byte> before(p.block().begin(), p.block().end());
        EXPECT_FALSE(expandRle(p));
        EXPECT_EQ(before, std::vector<std::byte>(p.block().begin(), p.block().end()));
    }
    PictureBuffer four = rlePicture(3, 1, 4, test::bytes({4, 0x11, 0, 1}));
    EXPECT_FALSE(expandRle(four));
}

TEST(Rle, CutShortDataKeepsWhatWasDecoded) {
    PictureBuffer p = rlePicture(4, 2, 8, test::bytes({2, 9, 0, 4, 1}));
    ASSERT_TRUE(expandRle(p));
    EXPECT_EQ(rowOf(p, 1), (Row{9, 9, 0, 0}));

    PictureBuffer empty = rlePicture(4, 2, 8, {});
    ASSERT_TRUE(expandRle(empty));
    EXPECT_EQ(rowOf(empty, 0), (Row{0, 0, 0, 0}));
}

TEST(Rle, DataBeyondTheTopRowIsIgnored) {
    PictureBuffer p = rlePicture(2, 1, 8, test::bytes({2, 3, 0, 0, 2, 4, 0, 0, 2, 5}));
    ASSERT_TRUE(expandRle(p));
    EXPECT_EQ(rowOf(p, 0), (Row{3, 3}));
}

TEST(Rle, ManyDeltasCannotWrapTheColumn) {
    std::vector<std::byte> data;
    for (int i = 0; i < 100000; ++i) {
        for (const int b : {0, 2, 255, 0}) {
            data.push_back(static_cast<std::byte>(b));
        }
    }
    data.push_back(std::byte{1});
    data.push_back(std::byte{7});
    PictureBuffer p = rlePicture(4, 1, 8, data);
    EXPECT_FALSE(expandRle(p));
}

TEST(Rle, UncompressedPicturesPassOrAreRefusedByDepth) {
    for (const int bits : {1, 4, 8, 24}) {
        PictureBuffer p = PictureBuffer::create(3, 3, bits);
        const std::byte* before = p.block().data();
        EXPECT_TRUE(expandRle(p)) << bits;
        EXPECT_EQ(p.block().data(), before);
    }
    for (const int bits : {16, 32}) {
        PictureBuffer p = PictureBuffer::create(3, 3, bits);
        EXPECT_FALSE(expandRle(p)) << bits;
    }
}

TEST(Rle, CompressThenExpandGivesBackThePixels) {
    std::mt19937 random(7);
    for (const int bits : {4, 8}) {
        for (int width = 1; width <= 40; width += 3) {
            PictureBuffer p = PictureBuffer::create(width, 5, bits);
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < width; ++x) {
                    // Mix runs and noise so both record kinds appear.
                    const std::uint32_t v = (x / 4 + y) % 3 == 0 ? 3 : random() % (1u << bits);
                    p.setPixel(x, y, v);
                }
            }
            PictureBuffer compressed = compressRle(p);
            ASSERT_TRUE(compressed.isValid());
            EXPECT_EQ(compressed.compression(), bits == 8 ? Compression::Rle8 : Compression::Rle4);
            ASSERT_TRUE(expandRle(compressed)) << bits << " bits, width " << width;
            for (int y = 0; y < 5; ++y) {
                EXPECT_EQ(rowOf(compressed, y), rowOf(p, y)) << bits << " bits, width " << width;
            }
        }
    }
    EXPECT_TRUE(compressRle(PictureBuffer::create(2, 2, 24)).isNull());
}

} // namespace
} // namespace vemra
