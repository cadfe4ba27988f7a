#include "imaging/unsharp.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace vemra {
namespace {

// 3 x 3 greys, rows from the top.
PictureBuffer threeByThree() {
    const int values[3][3] = {{10, 50, 20}, {60, 100, 70}, {30, 80, 40}};
    PictureBuffer p = PictureBuffer::create(3, 3, 24);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            p.setPixel(x, y, colourWord(values[y][x], values[y][x], values[y][x]));
        }
    }
    return p;
}

int grey(const PictureBuffer& p, int x, int y) {
    return redOf(p.pixel(x, y));
}

TEST(Unsharp, CrossPushesAwayFromTheMeanOfTheNeighboursInside) {
    const PictureBuffer src = threeByThree();
    const PictureBuffer out = unsharpCross(src, 0.5);
    ASSERT_EQ(out.bitCount(), 24);
    EXPECT_EQ(grey(out, 1, 1), 117); // mean 260 / 4 = 65; 100 + trunc(17.5)
    EXPECT_EQ(grey(out, 1, 0), 53);  // mean 130 / 3 = 43; 50 + trunc(3.5)
    EXPECT_EQ(grey(out, 0, 0), 0);   // mean 110 / 2 = 55; 10 - 22 clamped
    EXPECT_EQ(grey(out, 2, 2), 23);  // mean 150 / 2 = 75; 40 + trunc(-17.5)
    EXPECT_EQ(grey(src, 1, 1), 100); // the source is left alone
}

TEST(Unsharp, KernelWeightsAndWindowOrder) {
    const PictureBuffer src = threeByThree();
    const std::vector<int> ring{1, 1, 1, 1, 0, 1, 1, 1, 1};
    const PictureBuffer out = unsharp(src, 1.0, 3, ring);
    EXPECT_EQ(grey(out, 1, 1), 155); // mean of the eight: 360 / 8 = 45
    EXPECT_EQ(grey(out, 0, 0), 0);   // mean 210 / 3 = 70; 10 - 60
    EXPECT_EQ(grey(out, 2, 0), 0);   // 20 - (220 / 3 = 73 - 20)
    EXPECT_EQ(grey(out, 1, 2), 100); // mean 300 / 5 = 60; 80 + 20

    // The window's first row is the first stored row, i.e. the one below.
    const std::vector<int> below{0, 1, 0, 0, 0, 0, 0, 0, 0};
    const PictureBuffer shifted = unsharp(src, 1.0, 3, below);
    EXPECT_EQ(grey(shifted, 1, 1), 120); // 100 + (100 - 80)
    // Nothing lies below the bottom row: the empty sum is divided by 1.
    EXPECT_EQ(grey(shifted, 1, 2), 160);
}

TEST(Unsharp, SideLengthsUseTheFirstNSquaredWeights) {
    const PictureBuffer src = threeByThree();
    // n = 2: e = 0, a 1 x 1 window holding the pixel itself: no change.
    const std::vector<int> two{1, 5, 5, 5};
    const PictureBuffer same = unsharp(src, 2.0, 2, two);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(same.pixel(x, y), src.pixel(x, y));
        }
    }
    // n = 5 with too few weights: the missing ones are 0, so only the given
    // 3 x 3 corner of the 5 x 5 window counts.
    const std::vector<int> corner{1, 1, 1, 0, 0, 1, 1, 1, 0, 0, 1, 1, 1};
    const PictureBuffer out = unsharp(src, 1.0, 5, corner);
    // Pixel (2,2) from the top is stored row 0, column 2: the window rows 0-2
    // are stored rows -2..0 and columns 0-2 are x 0..2; inside: stored row 0,
    // x 0, 1, 2 (the bottom row) = 30, 80, 40 -> mean 50; 40 - 10 = 30.
    EXPECT_EQ(grey(out, 2, 2), 30);
    EXPECT_TRUE(unsharp(src, 1.0, 6, corner)); // refused side: unchanged copy
    EXPECT_EQ(unsharp(src, 1.0, 6, corner).pixel(1, 1), src.pixel(1, 1));
}

TEST(Unsharp, OtherDepthsAndEdgeSizes) {
    const PictureBuffer indexed = test::patternPicture(5, 5, 8);
    const PictureBuffer out = unsharpCross(indexed, 0.3);
    ASSERT_EQ(out.blockSize(), indexed.blockSize());
    EXPECT_TRUE(std::equal(out.block().begin(), out.block().end(), indexed.block().begin()));
    EXPECT_FALSE(unsharpCross(PictureBuffer(), 0.3));

    for (const auto& [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {2, 2}}) {
        const PictureBuffer p = test::patternPicture(w, h, 24);
        EXPECT_EQ(unsharpCross(p, 0.3).width(), w);
        EXPECT_EQ(unsharp(p, 0.3, 5, std::vector<int>(25, 1)).width(), w);
    }
    // Absurd weights and amounts saturate instead of overflowing.
    const PictureBuffer p = test::patternPicture(6, 6, 24);
    EXPECT_TRUE(unsharp(p, 1e12, 3, std::vector<int>(9, 2000000000)));
}

TEST(ThumbnailSharpening, SameSizeTableT1) {
    // 1000 x 1000 to 100 x 100: T1[1] - 0 = 0.3, the cross.
    SharpeningChoice c = chooseThumbnailSharpening({100, 100}, {1000, 1000}, {1000, 1000}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::Cross);
    EXPECT_NEAR(c.strength, 0.3, 1e-12);
    // Scale 0.25: T1[2] - 0.05 = 0.15, the settings' kernel.
    c = chooseThumbnailSharpening({250, 250}, {1000, 1000}, {1000, 1000}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::Kernel);
    EXPECT_NEAR(c.strength, 0.15, 1e-12);
    // Scale 0.05: T1[0] - 0.05 = 0.45, the kernel; 0.6 and up: nothing.
    c = chooseThumbnailSharpening({50, 40}, {1000, 800}, {0, 0}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::Kernel);
    EXPECT_NEAR(c.strength, 0.45, 1e-12);
    EXPECT_EQ(chooseThumbnailSharpening({650, 650}, {1000, 1000}, {1000, 1000}, 0.5).kind,
              SharpeningKind::None);
    // Larger than the picture: factor 1, T1[10] = 0.
    EXPECT_EQ(chooseThumbnailSharpening({300, 300}, {100, 100}, {100, 100}, 0.5).kind,
              SharpeningKind::None);
}

TEST(ThumbnailSharpening, ReducedDecodesUseTableT2) {
    // Decoded at half size: f = 0.2, h = 0.1 -> T2[2][1] - 0 = 0.1.
    SharpeningChoice c = chooseThumbnailSharpening({100, 100}, {500, 500}, {1000, 1000}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::Kernel);
    EXPECT_NEAR(c.strength, 0.1, 1e-12);
    // f = 0.9, h = 0.225 -> T2[9][2] - 0.025 = 0.575.
    c = chooseThumbnailSharpening({900, 900}, {1000, 1000}, {4000, 4000}, 0.5);
    EXPECT_NEAR(c.strength, 0.575, 1e-12);
    // f = 0.5, h = 0.25 -> T2[5][2] - 0.05 < 0: nothing.
    c = chooseThumbnailSharpening({250, 250}, {500, 500}, {1000, 1000}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::None);
    // f = 0.44, h = 0.08 -> T2[4][0] - 0.08 = 0.32: the cross.
    c = chooseThumbnailSharpening({80, 80}, {180, 180}, {1000, 1000}, 0.5);
    EXPECT_EQ(c.kind, SharpeningKind::Cross);
    EXPECT_NEAR(c.strength, 0.32, 1e-12);
}

TEST(ThumbnailSharpening, TheLevelBiasesEveryStrength) {
    // h = 0.32 -> T1[3] - 0.02 = 0.13; a level of 0.7 adds 0.2: the cross.
    SharpeningChoice c = chooseThumbnailSharpening({320, 320}, {1000, 1000}, {1000, 1000}, 0.7);
    EXPECT_EQ(c.kind, SharpeningKind::Cross);
    EXPECT_NEAR(c.strength, 0.33, 1e-12);
    c = chooseThumbnailSharpening({320, 320}, {1000, 1000}, {1000, 1000}, 1.0);
    EXPECT_EQ(c.kind, SharpeningKind::Kernel);
    EXPECT_NEAR(c.strength, 0.63, 1e-12);
}

TEST(ThumbnailSharpening, LevelZeroNeverSharpensSameSizeThumbnails) {
    for (int size = 1; size <= 1000; size += 7) {
        const SharpeningChoice c =
            chooseThumbnailSharpening({size, size}, {1000, 1000}, {1000, 1000}, 0.0);
        EXPECT_EQ(c.kind, SharpeningKind::None) << size;
    }
    EXPECT_EQ(chooseThumbnailSharpening({0, 0}, {10, 10}, {10, 10}, 1).kind, SharpeningKind::None);
    EXPECT_EQ(chooseThumbnailSharpening({5, 5}, {0, 10}, {10, 10}, 1).kind, SharpeningKind::None);
}

TEST(ThumbnailSharpening, SettingsAndApplying) {
    UnsharpSettings s;
    s.apply(7, "9,9,9", "0.9");
    EXPECT_EQ(s.side, 3);
    EXPECT_EQ(s.kernel, (std::vector<int>{1, 1, 1, 1, 0, 1, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(s.level, 0.5);
    s.apply(2, " 1, -2,3,4,5", "0.8");
    EXPECT_EQ(s.side, 2);
    EXPECT_EQ(s.kernel, (std::vector<int>{1, -2, 3, 4}));
    EXPECT_DOUBLE_EQ(s.level, 0.8);
    s.apply(3, "1,x,1", "1.5");
    EXPECT_EQ(s.kernel, (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(s.level, 0.0);

    const PictureBuffer thumb = test::patternPicture(100, 100, 24);
    UnsharpSettings defaults;
    const PictureBuffer crossed = sharpenThumbnail(thumb, {1000, 1000}, {1000, 1000}, defaults);
    const PictureBuffer expected = unsharpCross(thumb, 0.3);
    ASSERT_TRUE(crossed);
    EXPECT_TRUE(
        std::equal(crossed.block().begin(), crossed.block().end(), expected.block().begin()));
    EXPECT_FALSE(sharpenThumbnail(thumb, {150, 150}, {150, 150}, defaults)); // factor 0.67
    defaults.enabled = false;
    EXPECT_FALSE(sharpenThumbnail(thumb, {1000, 1000}, {1000, 1000}, defaults));
}

} // namespace
} // namespace vemra
