// The GIF decoder over giflib (1008) and its repair of damaged files.

#include "decoder_test_support.h"
#include "gif_test_support.h"
#include "imaging/gif_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

std::vector<std::uint8_t> pattern(int width, int height) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < p.size(); ++i) {
        p[i] = static_cast<std::uint8_t>(i * 5 % 16);
    }
    return p;
}

TEST(Gif2Decoder, TheFirstImageOnItsScreen) {
    test::GifFrameSpec f{2, 1, 5, 4, pattern(5, 4)};
    f.transparent = 3;
    test::GifFrameSpec second{0, 0, 8, 6, std::vector<std::uint8_t>(48, 9)};
    const auto file = test::writeGif(8, 6, 4, {f, second});
    EXPECT_TRUE(test::identifies(kGif2DecoderId, file));
    const auto d = test::decodeMemory(kGif2DecoderId, file);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.width(), 8);
    EXPECT_EQ(d.picture.height(), 6);
    EXPECT_EQ(d.picture.bitCount(), 8);
    EXPECT_EQ(d.picture.paletteColour(2), colourWord(20, 253, 6));
    EXPECT_EQ(d.picture.pixel(0, 0), 0u); // background
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const unsigned index = f.pixels[static_cast<std::size_t>(y * 5 + x)];
            EXPECT_EQ(d.picture.pixel(2 + x, 1 + y), index == 3 ? 0u : index);
        }
    }
    const auto info = test::infoMemory(kGif2DecoderId, file);
    EXPECT_EQ(info.info.width, 5);
}

TEST(Gif2Decoder, GarbageAndMissingTrailersAreRepaired) {
    test::GifFrameSpec f{0, 0, 6, 6, pattern(6, 6)};
    const auto good = test::writeGif(6, 6, 4, {f});
    ASSERT_EQ(good.back(), std::byte{0x3B});

    // Garbage after the image: a trailer is written where it begins.
    auto garbage = good;
    garbage.back() = std::byte{0x77};
    garbage.insert(garbage.end(), 20, std::byte{0x42});
    const std::size_t garbageAt = good.size() - 1;
    EXPECT_EQ(gif2::repairedForTesting(garbage)[garbageAt], std::byte{0x3B});
    auto d = test::decodeMemory(kGif2DecoderId, garbage);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.pixel(5, 5), f.pixels[35]);

    // The data ends right after the image: a trailer is added.
    const std::vector<std::byte> noTrailer(good.begin(), good.end() - 1);
    EXPECT_EQ(gif2::repairedForTesting(noTrailer)[noTrailer.size()], std::byte{0x3B});
    EXPECT_EQ(test::decodeMemory(kGif2DecoderId, noTrailer).code, 0);

    // "GIF89a" and garbage: both GIF decoders take it, neither decodes it.
    auto header = test::bytes({'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0});
    header.insert(header.end(), 40, std::byte{0x99});
    EXPECT_TRUE(test::identifies(kGifDecoderId, header));
    EXPECT_TRUE(test::identifies(kGif2DecoderId, header));
    EXPECT_EQ(gif2::repairedForTesting(header)[13], std::byte{0x3B});
    EXPECT_EQ(test::decodeMemory(kGif2DecoderId, header).code, -1);
    EXPECT_EQ(test::decodeMemory(kGifDecoderId, header).code, 3);
}

TEST(Gif2Decoder, BrokenFilesFailWithMinusOne) {
    test::GifFrameSpec f{0, 0, 30, 30, std::vector<std::uint8_t>(900, 1)};
    const auto good = test::writeGif(30, 30, 2, {f});
    for (std::size_t cut = 0; cut < good.size(); cut += 3) {
        const std::vector<std::byte> part(good.begin(), good.begin() + static_cast<long>(cut));
        const auto d = test::decodeMemory(kGif2DecoderId, part);
        EXPECT_TRUE(d.code == 0 || d.code == -1) << cut;
        auto flipped = good;
        flipped[cut] ^= std::byte{0xC3};
        const auto e = test::decodeMemory(kGif2DecoderId, flipped);
        if (e.code == 0) {
            EXPECT_TRUE(e.picture.isValid());
        }
    }
    EXPECT_EQ(test::decodeMemory(kGif2DecoderId, test::bytes({'G', 'I', 'F'})).code, -1);
}

} // namespace
} // namespace vemra
