#include "imaging/picture_convert.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace vemra {
namespace {

ColourWord grey(int v) {
    return colourWord(v, v, v);
}

PictureBuffer picture24(int width, int height, const std::function<ColourWord(int, int)>& at) {
    PictureBuffer p = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p.setPixel(x, y, at(x, y));
        }
    }
    return p;
}

// Rows from the top, one grey value per pixel (red channel).
std::vector<std::vector<int>> greys(const PictureBuffer& p) {
    std::vector<std::vector<int>> rows(static_cast<std::size_t>(p.height()));
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            rows[static_cast<std::size_t>(y)].push_back(redOf(p.pixel(x, y)));
        }
    }
    return rows;
}

bool samePixels(const PictureBuffer& a, const PictureBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != b.bitCount()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool allPixels(const PictureBuffer& p, ColourWord c) {
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            if (p.pixel(x, y) != c) {
                return false;
            }
        }
    }
    return p.width() > 0;
}

using Rows = std::vector<std::vector<int>>;

TEST(Bilinear, EnlargingTwoByTwoDarkensTheTopRowAndRightColumn) {
    // Top row 100, 200; bottom row 50, 150. Rows run bottom-up, so the row
    // "after" the top row and the column after the right one are black.
    const PictureBuffer src =
        picture24(2, 2, [](int x, int y) { return grey(y == 0 ? 100 + 100 * x : 50 + 100 * x); });
    const PictureBuffer out = scaleAndRotate(src, 4, 4, 0, ScaleMode::Bilinear);
    ASSERT_EQ(out.bitCount(), 24);
    EXPECT_EQ(
        greys(out),
        (Rows{{50, 75, 100, 50}, {100, 150, 200, 100}, {75, 125, 175, 87}, {50, 100, 150, 75}}));
}

TEST(Bilinear, ReductionTakesEveryOtherPixelAtWholeSteps) {
    const PictureBuffer src = picture24(4, 4, [](int x, int y) { return grey(10 * x + 60 * y); });
    const PictureBuffer out = scaleAndRotate(src, 2, 2, 0, ScaleMode::Bilinear);
    EXPECT_EQ(greys(out), (Rows{{0, 20}, {120, 140}}));
}

TEST(Bilinear, ReductionBlendsInOneTwoHundredFiftySixthSteps) {
    // 3 -> 2 columns: step 1.5, the second point at 1.5 blends pixels 1 and
    // 2 half and half; the weight is trunc(0.5 * 256) = 128.
    const PictureBuffer src = picture24(3, 1, [](int x, int) { return grey(x == 2 ? 201 : 0); });
    const PictureBuffer out = scaleAndRotate(src, 2, 1, 0, ScaleMode::Bilinear);
    EXPECT_EQ(greys(out), (Rows{{0, 100}}));
}

TEST(Bilinear, OtherDepthsComeBackUnchanged) {
    const PictureBuffer src = test::patternPicture(8, 8, 16);
    const PictureBuffer out = scaleAndRotate(src, 4, 4, 0, ScaleMode::Bilinear);
    ASSERT_EQ(out.blockSize(), src.blockSize());
    EXPECT_TRUE(std::equal(out.block().begin(), out.block().end(), src.block().begin()));

    // The caller's rule converts first, so a palette picture is blended in colour.
    PictureBuffer indexed = PictureBuffer::create(2, 1, 8, 2);
    indexed.setPaletteColour(0, grey(0));
    indexed.setPaletteColour(1, grey(200));
    indexed.setPixel(1, 0, 1);
    const PictureBuffer blended = scalePicture(indexed, 4, 1, 0, ScaleMode::Bilinear);
    ASSERT_EQ(blended.bitCount(), 24);
    EXPECT_EQ(greys(blended), (Rows{{0, 100, 200, 100}}));
}

TEST(Box, HalvingFourByFourUsesTheHandComputedSamples) {
    // Box 0 samples -1 (outside), -1/3 and 1/3 -> pixels 0, 0; box 1 samples
    // 1, 5/3, 7/3 -> pixels 1, 1, 2, in both directions.
    const PictureBuffer src = picture24(4, 4, [](int x, int y) { return grey(10 * x + 60 * y); });
    const PictureBuffer out = scaleAndRotate(src, 2, 2, 0, ScaleMode::Box);
    // (0,1): rows 1,1,2 x cols 0,0 = 480 / 6; (1,1): 840 / 9 = 93 (integer division).
    EXPECT_EQ(greys(out), (Rows{{0, 13}, {80, 93}}));
}

TEST(Box, PalettePicturesAverageTheirColourTableValues) {
    PictureBuffer indexed = PictureBuffer::create(4, 4, 4, 16);
    for (int i = 0; i < 16; ++i) {
        indexed.setPaletteColour(i, colourWord(i * 10, 0, 255 - i * 10));
    }
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            indexed.setPixel(x, y, static_cast<std::uint32_t>(x + 4 * y));
        }
    }
    const PictureBuffer out = scaleAndRotate(indexed, 2, 2, 0, ScaleMode::Box);
    ASSERT_EQ(out.bitCount(), 24);
    // Box (1,1): rows 1,1,2 and cols 1,1,2; index = x + 4y, red = 10 * index.
    EXPECT_EQ(redOf(out.pixel(1, 1)), (3 * (1 + 1 + 2) + 3 * 4 * (1 + 1 + 2)) * 10 / 9);
    EXPECT_EQ(blueOf(out.pixel(0, 0)), 255);
}

TEST(Box, UniformPicturesStayUniformAtAnyFactor) {
    const PictureBuffer src = picture24(40, 30, [](int, int) { return colourWord(9, 99, 199); });
    for (const auto& [w, h] : {std::pair{11, 8}, {1, 1}, {39, 29}, {40, 1}, {97, 61}}) {
        EXPECT_TRUE(allPixels(scaleAndRotate(src, w, h, 0, ScaleMode::Box), colourWord(9, 99, 199)))
            << w << "x" << h;
    }
}

TEST(Nearest, WorksOnEveryDepthAndKeepsTheColourTable) {
    for (const int bits : {1, 4, 8, 24}) {
        const PictureBuffer src = test::patternPicture(9, 7, bits);
        const PictureBuffer out = scaleAndRotate(src, 3, 3, 0, ScaleMode::Nearest);
        ASSERT_EQ(out.bitCount(), bits);
        ASSERT_EQ(out.colourEntries(), src.colourEntries());
        for (int i = 0; i < src.colourEntries(); ++i) {
            EXPECT_EQ(out.paletteColour(i), src.paletteColour(i));
        }
        // Steps 3 and 7/3: columns 0, 3, 6 (trunc(x * 3 + 0.5)), rows 0, 2, 5.
        const int rows[] = {0, 2, 5};
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(out.pixel(x, y), src.pixel(3 * x, rows[y])) << bits << " bits";
            }
        }
    }
}

TEST(Nearest, EnlargingLeavesNoBlackEdge) {
    // Points 0, 0.5, 1, 1.5 round to 0, 1, 1, 2; the last lies inside the
    // picture and takes its last pixel instead of falling outside.
    const PictureBuffer src =
        picture24(2, 2, [](int x, int y) { return grey(10 + 100 * x + 50 * y); });
    const PictureBuffer out = scaleAndRotate(src, 4, 4, 0, ScaleMode::Nearest);
    EXPECT_EQ(
        greys(out),
        (Rows{{10, 110, 110, 110}, {60, 160, 160, 160}, {60, 160, 160, 160}, {60, 160, 160, 160}}));
}

TEST(Nearest, SameSizeHalfTurnIsAnExactCopyTurned) {
    for (const int bits : {1, 4, 8, 24}) {
        const PictureBuffer src = test::patternPicture(5, 3, bits);
        const PictureBuffer out = scaleAndRotate(src, 5, 3, 180, ScaleMode::Nearest);
        ASSERT_EQ(out.width(), 5);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(out.pixel(x, y), src.pixel(4 - x, 2 - y));
            }
        }
    }
}

TEST(ScaleAndRotate, RightAnglesTurnExactlyBeforeScaling) {
    const PictureBuffer src = picture24(12, 8, [](int x, int y) { return grey(x * 20 + y); });
    for (const ScaleMode mode : {ScaleMode::Nearest, ScaleMode::Bilinear, ScaleMode::Box}) {
        for (const double angle : {90.0, 180.0, 270.0, -90.0, 450.0}) {
            const PictureBuffer turned = rotatePicture(src, angle);
            const PictureBuffer expected = scaleAndRotate(turned, 6, 5, 0, mode);
            const PictureBuffer out = scaleAndRotate(src, 6, 5, angle, mode);
            EXPECT_TRUE(samePixels(out, expected)) << static_cast<int>(mode) << " " << angle;
        }
    }
    // A white picture stays white: no black line along any edge.
    const PictureBuffer white = picture24(12, 8, [](int, int) { return grey(255); });
    for (const ScaleMode mode : {ScaleMode::Nearest, ScaleMode::Bilinear, ScaleMode::Box}) {
        EXPECT_TRUE(allPixels(scaleAndRotate(white, 4, 6, 90, mode), grey(255)));
        EXPECT_TRUE(allPixels(scaleAndRotate(white, 8, 12, 270, mode), grey(255)));
    }
}

TEST(ScaleAndRotate, FreeAnglesUseTheRotatedBoundingBox) {
    // A 10 x 10 white square turned by 45 degrees: box -7..7 by 0..15, so a
    // same-size result shows the diamond's middle white and its corners black.
    const PictureBuffer white = picture24(10, 10, [](int, int) { return grey(255); });
    for (const ScaleMode mode : {ScaleMode::Nearest, ScaleMode::Bilinear, ScaleMode::Box}) {
        const PictureBuffer out = scaleAndRotate(white, 14, 15, 45, mode);
        ASSERT_EQ(out.width(), 14);
        EXPECT_EQ(out.pixel(7, 7), grey(255)) << static_cast<int>(mode);
        EXPECT_EQ(out.pixel(0, 0), grey(0)) << static_cast<int>(mode);
        EXPECT_EQ(out.pixel(13, 14), grey(0)) << static_cast<int>(mode);
    }
}

TEST(ScaleAndRotate, AutomaticChoosesBoxUpToHalfAndBilinearAbove) {
    EXPECT_EQ(automaticMode(thumbnailScaleFactor(1600, 1200, 160, 120)), ScaleMode::Box);
    EXPECT_EQ(automaticMode(0.5), ScaleMode::Box);
    EXPECT_EQ(automaticMode(0.51), ScaleMode::Bilinear);
    EXPECT_DOUBLE_EQ(thumbnailScaleFactor(100, 50, 400, 400), 1.0);
    EXPECT_EQ(thumbnailScaleFactor(0, 50, 4, 4), 0.0);

    const PictureBuffer src = test::patternPicture(160, 120, 24);
    EXPECT_TRUE(samePixels(scaleAndRotate(src, 16, 12, 0, ScaleMode::Automatic),
                           scaleAndRotate(src, 16, 12, 0, ScaleMode::Box)));
    EXPECT_TRUE(samePixels(scaleAndRotate(src, 120, 90, 0, ScaleMode::Automatic),
                           scaleAndRotate(src, 120, 90, 0, ScaleMode::Bilinear)));
    // The viewer passes its zoom factor instead.
    EXPECT_TRUE(samePixels(scaleAndRotate(src, 16, 12, 0, ScaleMode::Automatic, 0.8),
                           scaleAndRotate(src, 16, 12, 0, ScaleMode::Bilinear)));
    EXPECT_EQ(scaleModeFromInt(10), ScaleMode::Automatic);
    EXPECT_FALSE(scaleModeFromInt(4).has_value());
}

TEST(ScaleAndRotate, NormalStretchesSmoothlyIntoTwentyFourBits) {
    test::ensureGuiApplication();
    // Left half red, right half blue, in an 8-bit picture.
    PictureBuffer src = PictureBuffer::create(8, 4, 8, 2);
    src.setPaletteColour(0, colourWord(255, 0, 0));
    src.setPaletteColour(1, colourWord(0, 0, 255));
    for (int y = 0; y < 4; ++y) {
        for (int x = 4; x < 8; ++x) {
            src.setPixel(x, y, 1);
        }
    }
    const PictureBuffer out = scaleAndRotate(src, 16, 8, 0, ScaleMode::Normal);
    ASSERT_EQ(out.bitCount(), 24);
    ASSERT_EQ(out.width(), 16);
    EXPECT_EQ(out.pixel(1, 1), colourWord(255, 0, 0));
    EXPECT_EQ(out.pixel(14, 6), colourWord(0, 0, 255));
    // Turned a quarter clockwise, red is on top.
    const PictureBuffer turned = scaleAndRotate(src, 8, 16, 90, ScaleMode::Normal);
    EXPECT_EQ(turned.pixel(4, 1), colourWord(255, 0, 0));
    EXPECT_EQ(turned.pixel(4, 14), colourWord(0, 0, 255));
}

TEST(ScaleAndRotate, SameSizeWithoutAngleIsTheInputItself) {
    PictureBuffer src = test::patternPicture(6, 4, 24);
    const std::byte* block = src.block().data();
    const PictureBuffer copy = scaleAndRotate(src, 6, 4, 0, ScaleMode::Box);
    EXPECT_NE(copy.block().data(), block);
    EXPECT_TRUE(samePixels(copy, src));
    const PictureBuffer same = scaleAndRotate(std::move(src), 6, 4, 0, ScaleMode::Box);
    EXPECT_EQ(same.block().data(), block);
}

TEST(ScaleAndRotate, HostileSizesAndAnglesAreRefused) {
    const PictureBuffer src = test::patternPicture(6, 4, 24);
    for (const ScaleMode mode : {ScaleMode::Normal, ScaleMode::Nearest, ScaleMode::Bilinear,
                                 ScaleMode::Box, ScaleMode::Automatic}) {
        EXPECT_FALSE(scaleAndRotate(src, 0, 4, 0, mode));
        EXPECT_FALSE(scaleAndRotate(src, 4, -3, 0, mode));
        EXPECT_FALSE(scaleAndRotate(src, 70000, 70000, 0, mode));
        EXPECT_FALSE(scaleAndRotate(PictureBuffer(), 4, 4, 0, mode));
    }
    EXPECT_FALSE(scaleAndRotate(src, 4, 4, 0, static_cast<ScaleMode>(7)));
    // Giving up the picture gets it back when the size cannot be made.
    PictureBuffer given = test::patternPicture(6, 4, 24);
    EXPECT_EQ(scaleAndRotate(std::move(given), 70000, 70000, 0, ScaleMode::Box).width(), 6);

    // Angles that are not numbers count as no rotation.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(samePixels(scaleAndRotate(src, 3, 2, nan, ScaleMode::Nearest),
                           scaleAndRotate(src, 3, 2, 0, ScaleMode::Nearest)));
    EXPECT_TRUE(scaleAndRotate(src, 3, 2, 1e300, ScaleMode::Bilinear));
    EXPECT_TRUE(
        scaleAndRotate(src, 3, 2, -std::numeric_limits<double>::infinity(), ScaleMode::Box));
}

TEST(ScaleAndRotate, TopDownPicturesScaleLikeBottomUpOnes) {
    const PictureBuffer up = test::patternPicture(9, 6, 24);
    DibHeader h;
    h.width = 9;
    h.height = -6;
    PictureBuffer down = PictureBuffer::create(h);
    ASSERT_TRUE(down);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 9; ++x) {
            down.setPixel(x, y, up.pixel(x, y));
        }
    }
    for (const ScaleMode mode : {ScaleMode::Nearest, ScaleMode::Bilinear, ScaleMode::Box}) {
        for (const auto& [w, hh] : {std::pair{4, 3}, {20, 13}}) {
            EXPECT_TRUE(samePixels(scaleAndRotate(up, w, hh, 0, mode),
                                   scaleAndRotate(down, w, hh, 0, mode)))
                << static_cast<int>(mode) << " " << w;
        }
    }
}

TEST(ScaleAndRotate, OtherDepthsAndRleAreReadableByNearestAndBox) {
    const PictureBuffer deep = test::patternPicture(8, 6, 32);
    const PictureBuffer expected = copyAs24Bits(deep);
    EXPECT_TRUE(samePixels(scaleAndRotate(deep, 4, 3, 0, ScaleMode::Nearest),
                           scaleAndRotate(expected, 4, 3, 0, ScaleMode::Nearest)));
    EXPECT_TRUE(samePixels(scaleAndRotate(deep, 4, 3, 0, ScaleMode::Box),
                           scaleAndRotate(expected, 4, 3, 0, ScaleMode::Box)));

    const PictureBuffer plain = test::patternPicture(16, 6, 8);
    const PictureBuffer rle = compressRle(plain);
    ASSERT_EQ(rle.compression(), Compression::Rle8);
    const PictureBuffer out = scaleAndRotate(rle, 8, 3, 0, ScaleMode::Nearest);
    EXPECT_EQ(out.bitCount(), 8);
    EXPECT_TRUE(samePixels(out, scaleAndRotate(plain, 8, 3, 0, ScaleMode::Nearest)));
    EXPECT_EQ(scalePicture(rle, 8, 3, 0, ScaleMode::Automatic).bitCount(), 24);
}

} // namespace
} // namespace vemra
