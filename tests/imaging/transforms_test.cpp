#include "imaging/picture_convert.h"
#include "imaging/transforms.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vemra {
namespace {

bool sameBlock(const PictureBuffer& a, const PictureBuffer& b) {
    return a.blockSize() == b.blockSize() &&
           std::equal(a.block().begin(), a.block().end(), b.block().begin());
}

TEST(Rotate, QuarterTurnsAreExactOnEveryDepth) {
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        // Odd sizes exercise the partial bytes of 1- and 4-bit rows.
        const PictureBuffer src = test::patternPicture(13, 7, bits);
        const int w = 13;
        const int h = 7;

        const PictureBuffer r90 = rotatePicture(src, 90);
        ASSERT_EQ(r90.width(), h);
        ASSERT_EQ(r90.height(), w);
        ASSERT_EQ(r90.bitCount(), bits);
        const PictureBuffer r180 = rotatePicture(src, 180);
        const PictureBuffer r270 = rotatePicture(src, 270);
        for (int i = 0; i < w; ++i) {
            for (int j = 0; j < h; ++j) {
                // Clockwise: destination (j, i) takes source (i, H - 1 - j).
                ASSERT_EQ(r90.pixel(j, i), src.pixel(i, h - 1 - j)) << bits;
                ASSERT_EQ(r270.pixel(j, i), src.pixel(w - 1 - i, j)) << bits;
            }
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(r180.pixel(x, y), src.pixel(w - 1 - x, h - 1 - y)) << bits;
            }
        }
        // Four quarter turns, or a negative one and a positive one, come back.
        const PictureBuffer round = rotatePicture(rotatePicture(rotatePicture(r90, 90), 90), 90);
        EXPECT_TRUE(sameBlock(round, rotatePicture(src, 360))) << bits;
        EXPECT_TRUE(sameBlock(rotatePicture(r90, -90), rotatePicture(src, 360))) << bits;
        if (bits <= 8) {
            EXPECT_EQ(r90.colourEntries(), src.colourEntries());
            EXPECT_EQ(r90.paletteColour(3), src.paletteColour(3));
        }
    }
}

TEST(Rotate, BigPicturesTurnExactlyAcrossTiles) {
    const PictureBuffer src = test::patternPicture(150, 97, 24);
    const PictureBuffer r = rotatePicture(src, 90);
    for (int i = 0; i < 150; i += 7) {
        for (int j = 0; j < 97; j += 5) {
            ASSERT_EQ(r.pixel(j, i), src.pixel(i, 96 - j));
        }
    }
}

TEST(Rotate, RightAngleDetection) {
    EXPECT_TRUE(isRightAngle(90));
    EXPECT_TRUE(isRightAngle(-270.00005));
    EXPECT_TRUE(isRightAngle(89.99995));
    EXPECT_FALSE(isRightAngle(45));
    EXPECT_FALSE(isRightAngle(90.01));
    EXPECT_EQ(quarterTurns(90), 1);
    EXPECT_EQ(quarterTurns(-90), 3);
    EXPECT_EQ(quarterTurns(540), 2);
    EXPECT_EQ(quarterTurns(720), 0);
}

TEST(Rotate, FreeAnglesFollowTheBackwardFormula) {
    // 30 degrees on a 20 x 10 picture: the bounding box of the turned corners
    // rounded out by 0.9, and each pixel from the back-rotated grid point.
    const PictureBuffer src = test::patternPicture(20, 10, 8);
    const PictureBuffer out = rotatePicture(src, 30);
    const double k = 0.01745329252111111;
    const double c = std::cos(30 * k);
    const double s = std::sin(30 * k);
    const int left = static_cast<int>(-10 * s - 0.9);
    const int right = static_cast<int>(20 * c + 0.9);
    const int bottom = static_cast<int>(20 * s + 10 * c + 0.9);
    ASSERT_EQ(out.width(), right - left);
    ASSERT_EQ(out.height(), bottom);
    const double cb = std::cos(330 * k);
    const double sb = std::sin(330 * k);
    int inside = 0;
    for (int i = 0; i < out.height(); ++i) {
        for (int j = 0; j < out.width(); ++j) {
            const double gx = left + j;
            const int sx = static_cast<int>(gx * cb - i * sb);
            const int sy = static_cast<int>(gx * sb + i * cb);
            const bool in = sx >= 0 && sx < 20 && sy >= 0 && sy < 10;
            inside += in ? 1 : 0;
            ASSERT_EQ(out.pixel(j, i), in ? src.pixel(sx, sy) : 0u) << j << "," << i;
        }
    }
    EXPECT_GT(inside, 150);
}

TEST(Rotate, ZeroAngleHugeBoxesAndRle) {
    PictureBuffer src = test::patternPicture(9, 4, 4);
    EXPECT_TRUE(sameBlock(rotatePicture(src, 0), src));
    const std::byte* block = src.block().data();
    EXPECT_EQ(rotatePicture(std::move(src), 0).block().data(), block);

    // 200 million pixels turned by 45 degrees would need 450 million.
    const PictureBuffer wide = PictureBuffer::create(20000, 10000, 1);
    ASSERT_TRUE(wide);
    EXPECT_FALSE(rotatePicture(wide, 45));

    const PictureBuffer plain = test::patternPicture(16, 5, 8);
    const PictureBuffer turned = rotatePicture(compressRle(plain), 90);
    EXPECT_TRUE(sameBlock(turned, rotatePicture(plain, 90)));
    EXPECT_FALSE(rotatePicture(PictureBuffer(), 90));
}

TEST(MirrorFlip, ReverseRowsOrColumnsAndComeBack) {
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        const PictureBuffer src = test::patternPicture(13, 6, bits);
        PictureBuffer m = src.duplicate();
        ASSERT_TRUE(mirrorPicture(m));
        PictureBuffer f = src.duplicate();
        ASSERT_TRUE(flipPicture(f));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(m.pixel(x, y), src.pixel(12 - x, y)) << bits;
                ASSERT_EQ(f.pixel(x, y), src.pixel(x, 5 - y)) << bits;
            }
        }
        // Twice is the original, padding bits included.
        ASSERT_TRUE(mirrorPicture(m));
        ASSERT_TRUE(flipPicture(f));
        EXPECT_TRUE(sameBlock(m, src)) << bits;
        EXPECT_TRUE(sameBlock(f, src)) << bits;
    }
}

TEST(MirrorFlip, OddHeightsKeepTheMiddleRowAndRleIsRefused) {
    const PictureBuffer src = test::patternPicture(4, 5, 24);
    PictureBuffer f = src.duplicate();
    ASSERT_TRUE(flipPicture(f));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(f.pixel(x, 2), src.pixel(x, 2));
    }
    PictureBuffer rle = compressRle(test::patternPicture(8, 3, 8));
    const PictureBuffer before = rle.duplicate();
    EXPECT_FALSE(mirrorPicture(rle));
    EXPECT_FALSE(flipPicture(rle));
    EXPECT_TRUE(sameBlock(rle, before));
    PictureBuffer none;
    EXPECT_FALSE(mirrorPicture(none));
    EXPECT_FALSE(flipPicture(none));
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// The same pixels stored top-down (a negative height) must give the same
// results wherever rows are addressed directly.
TEST(TopDown, StoredOrderDoesNotChangeTheResults) {
    const PictureBuffer up = test::patternPicture(7, 5, 24);
    DibHeader h;
    h.width = 7;
    h.height = -5;
    PictureBuffer down = PictureBuffer::create(h);
    ASSERT_TRUE(down);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            down.setPixel(x, y, up.pixel(x, y));
        }
    }
    auto samePixels = [](const PictureBuffer& a, const PictureBuffer& b) {
        if (a.width() != b.width() || a.height() != b.height()) {
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
    };
    EXPECT_TRUE(samePixels(rotatePicture(up, 90), rotatePicture(down, 90)));
    EXPECT_TRUE(samePixels(rotatePicture(up, 33), rotatePicture(down, 33)));
    PictureBuffer m1 = up.duplicate();
    PictureBuffer m2 = down.duplicate();
    ASSERT_TRUE(flipPicture(m1) && flipPicture(m2) && mirrorPicture(m1) && mirrorPicture(m2));
    EXPECT_TRUE(samePixels(m1, m2));
}

} // namespace
} // namespace vemra
