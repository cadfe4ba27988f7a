// The GIF decoder with its own LZW (1002) and the frame walker.

#include "decoder_test_support.h"
#include "gif_test_support.h"
#include "imaging/gif_frames.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

std::vector<std::uint8_t> pattern(int width, int height, int colours) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width * height));
    for (int i = 0; i < width * height; ++i) {
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 7 + i / width) % colours);
    }
    return p;
}

TEST(GifDecoder, DecodesGiflibFilesAtEveryDepthAndInterlaced) {
    for (const int bits : {1, 2, 4, 5, 8}) {
        for (const bool interlaced : {false, true}) {
            test::GifFrameSpec f{0, 0, 13, 11, pattern(13, 11, 1 << bits)};
            f.interlaced = interlaced;
            const auto file = test::writeGif(13, 11, bits, {f});
            ASSERT_FALSE(file.empty());
            EXPECT_TRUE(test::identifies(kGifDecoderId, file));
            const auto d = test::decodeMemory(kGifDecoderId, file);
            ASSERT_EQ(d.code, 0) << bits;
            EXPECT_EQ(d.picture.bitCount(), bits >= 5 ? 8 : bits >= 2 ? 4 : 1);
            EXPECT_EQ(d.picture.paletteColour(1), colourWord(10, 254, 3));
            for (int y = 0; y < 11; ++y) {
                for (int x = 0; x < 13; ++x) {
                    ASSERT_EQ(d.picture.pixel(x, y), f.pixels[static_cast<std::size_t>(y * 13 + x)])
                        << bits << " " << interlaced << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(GifDecoder, InfoTakesTheFirstImageAndTheComment) {
    test::GifFrameSpec f{2, 3, 5, 4, pattern(5, 4, 16)};
    const auto file = test::writeGif(20, 10, 4, {f}, "hello");
    const auto info = test::infoMemory(kGifDecoderId, file);
    EXPECT_EQ(info.code, 0);
    EXPECT_EQ(info.info.width, 5);
    EXPECT_EQ(info.info.height, 4);
    EXPECT_EQ(info.info.colorDepth, 4);
    EXPECT_EQ(info.comment, "hello");
}

TEST(GifDecoder, TheFirstCodeIsTakenAsAClearCode) {
    // Code size 2: clear 4, end 5, codes 3 bits wide.
    test::CodePacker withClear;
    for (const int code : {4, 1, 2, 3, 5}) {
        withClear.put(code, 3);
    }
    auto d = test::decodeMemory(kGifDecoderId, test::handMadeGif(3, 1, 2, withClear.subBlocks()));
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.pixel(0, 0), 1u);
    EXPECT_EQ(d.picture.pixel(2, 0), 3u);

    test::CodePacker withoutClear;
    for (const int code : {1, 2, 3, 5}) {
        withoutClear.put(code, 3);
    }
    d = test::decodeMemory(kGifDecoderId, test::handMadeGif(3, 1, 2, withoutClear.subBlocks()));
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.pixel(0, 0), 2u); // the first pixel is lost
    EXPECT_EQ(d.picture.pixel(1, 0), 3u);
    EXPECT_EQ(d.picture.pixel(2, 0), 0u);
}

TEST(GifDecoder, AFullTableWithoutAClearStopsWithFour) {
    // Code size 8: every literal adds an entry until the table holds 4096.
    test::CodePacker packer;
    int width = 9;
    packer.put(256, width);
    packer.put(1, width);
    int nextFree = 258;
    while (nextFree < 4096) {
        packer.put(nextFree % 200, width);
        ++nextFree;
        if (nextFree > (1 << width) - 1 && width < 12) {
            ++width;
        }
    }
    packer.put(7, width);
    packer.put(257, width);
    const auto d =
        test::decodeMemory(kGifDecoderId, test::handMadeGif(64, 64, 8, packer.subBlocks()));
    EXPECT_EQ(d.code, 4);
    EXPECT_TRUE(d.picture.isNull());
}

TEST(GifDecoder, TruncatedDataKeepsTheRowsDecodedSoFar) {
    test::GifFrameSpec f{0, 0, 40, 40, pattern(40, 40, 256)};
    const auto file = test::writeGif(40, 40, 8, {f});
    const std::vector<std::byte> half(file.begin(),
                                      file.begin() + static_cast<long>(file.size() / 2));
    const auto d = test::decodeMemory(kGifDecoderId, half);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.pixel(5, 0), f.pixels[5]);
    EXPECT_EQ(d.picture.pixel(39, 39), 0u);
}

TEST(GifDecoder, HostileFilesGiveCodes) {
    test::TempDir dir;
    const auto good = test::writeGif(8, 8, 2, {test::GifFrameSpec{0, 0, 8, 8, pattern(8, 8, 4)}});
    EXPECT_EQ(test::decodeMemory(kGifDecoderId, test::bytes({'G', 'I', 'F', '8', '8', 'a'})).code,
              1);
    EXPECT_EQ(
        test::decodeMemory(kGifDecoderId, test::bytes({'G', 'I', 'F', '8', '9', 'a', 1})).code, 3);
    // Garbage where a block should start.
    auto garbage = std::vector<std::byte>(good.begin(), good.begin() + 13 + 12);
    garbage.push_back(std::byte{0x99});
    EXPECT_EQ(test::decodeMemory(kGifDecoderId, garbage).code, 3);
    // A code size above 11.
    auto bigCodes = test::handMadeGif(4, 4, 12, test::bytes({1, 0, 0}));
    EXPECT_EQ(test::decodeMemory(kGifDecoderId, bigCodes).code, 1);
    // Huge dimensions.
    auto huge = test::handMadeGif(1, 1, 2, test::bytes({1, 0x44, 0}));
    const std::size_t descriptor = 13 + 12;
    huge[descriptor + 5] = huge[descriptor + 6] = huge[descriptor + 7] = huge[descriptor + 8] =
        std::byte{0xFF};
    EXPECT_EQ(test::decodeMemory(kGifDecoderId, huge).code, 4);
    // Every cut and many flipped bytes come back without a crash.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        const std::vector<std::byte> part(good.begin(), good.begin() + static_cast<long>(cut));
        (void)test::decodeMemory(kGifDecoderId, part);
        (void)test::infoMemory(kGifDecoderId, part);
        auto flipped = good;
        flipped[cut] ^= std::byte{0xA5};
        const auto d = test::decodeMemory(kGifDecoderId, flipped);
        if (d.code == 0) {
            EXPECT_TRUE(d.picture.isValid());
        }
    }
}

TEST(GifFrames, FramesAreComposedWithTheirDisposal) {
    // Background index 0 is (0, 255, 0). Frame 1 fills the screen with 1 and
    // is restored to the background; frame 2 draws a 2x2 square of 2 with one
    // transparent pixel; frame 3 (restore previous) draws 3 at the corner.
    test::GifFrameSpec one{0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 10, 2};
    test::GifFrameSpec two{1, 1, 2, 2, {2, 2, 2, 5}, 20, 1, 5};
    test::GifFrameSpec three{0, 0, 1, 1, {3}, 30, 3};
    test::GifFrameSpec four{3, 3, 1, 1, {4}, 40, 0};
    const auto file = test::writeGif(4, 4, 3, {one, two, three, four}, "anim");
    GifAnimation animation;
    ASSERT_EQ(animation.open(file), ResultCode::Success);
    ASSERT_EQ(animation.frameCount(), 4);
    EXPECT_EQ(animation.frame(1).delay, 20);
    EXPECT_EQ(animation.frame(1).transparent, 5);
    EXPECT_EQ(animation.frame(0).disposal, 2);
    EXPECT_EQ(animation.frame(1).left, 1);
    EXPECT_EQ(animation.comment(), "anim");

    const ColourWord background = colourWord(0, 255, 0);
    auto colour = [](int i) { return colourWord(i * 10, 255 - i, i * 3); };
    PictureBuffer screen;
    ASSERT_EQ(animation.nextFrame(screen), ResultCode::Success);
    EXPECT_EQ(screen.bitCount(), 24);
    EXPECT_EQ(screen.pixel(0, 0), colour(1));
    ASSERT_EQ(animation.nextFrame(screen), ResultCode::Success);
    EXPECT_EQ(screen.pixel(0, 0), background);
    EXPECT_EQ(screen.pixel(1, 1), colour(2));
    EXPECT_EQ(screen.pixel(2, 2), background); // transparent
    ASSERT_EQ(animation.nextFrame(screen), ResultCode::Success);
    EXPECT_EQ(screen.pixel(0, 0), colour(3));
    ASSERT_EQ(animation.nextFrame(screen), ResultCode::Success);
    EXPECT_EQ(screen.pixel(0, 0), background); // frame 3 undone
    EXPECT_EQ(screen.pixel(1, 1), colour(2));
    EXPECT_EQ(screen.pixel(3, 3), colour(4));
    // After the last frame the animation starts again.
    ASSERT_EQ(animation.nextFrame(screen), ResultCode::Success);
    EXPECT_EQ(animation.position(), 1);
    EXPECT_EQ(screen.pixel(3, 3), colour(1));

    GifAnimation none;
    EXPECT_EQ(none.open(test::bytes({'G', 'I', 'F'})), ResultCode::InvalidData);
    EXPECT_EQ(none.open(std::span(file).first(13 + 24)), ResultCode::BrokenData);
}

} // namespace
} // namespace vemra
