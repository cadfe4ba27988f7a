#include "imaging/colour_reduction.h"
#include "imaging/palette_search.h"
#include "imaging/picture_convert.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace vemra {
namespace {

TEST(ColourSpace, RoundTripsEveryColourWithinOne) {
    const ColourSpace space;
    int worst = 0;
    for (int r = 0; r < 256; r += 3) {
        for (int g = 0; g < 256; g += 5) {
            for (int b = 0; b < 256; b += 7) {
                const Rgb back = space.toRgb(space.toPoint(rgb(r, g, b)));
                worst = std::max({worst, std::abs(static_cast<int>(back & 0xFF) - r),
                                  std::abs(static_cast<int>(back >> 8 & 0xFF) - g),
                                  std::abs(static_cast<int>(back >> 16 & 0xFF) - b)});
            }
        }
    }
    EXPECT_LE(worst, 1);
    // Luma orders black, grey and white.
    EXPECT_LT(space.toPoint(rgb(0, 0, 0)).z, space.toPoint(rgb(128, 128, 128)).z);
    EXPECT_LT(space.toPoint(rgb(128, 128, 128)).z, space.toPoint(rgb(255, 255, 255)).z);
}

TEST(PaletteSearch, JacobiFindsEigenvectors) {
    const double m[3][3] = {{4, 1, 0}, {1, 3, 0}, {0, 0, 1}};
    double values[3];
    double vectors[3][3];
    jacobiEigen(m, values, vectors);
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 3; ++i) {
            const double mv =
                m[i][0] * vectors[0][k] + m[i][1] * vectors[1][k] + m[i][2] * vectors[2][k];
            EXPECT_NEAR(mv, values[k] * vectors[i][k], 1e-9);
        }
    }
    std::multiset<double> sorted(values, values + 3);
    EXPECT_NEAR(*sorted.rbegin(), 3.5 + std::sqrt(1.25), 1e-9);
}

// Blocks of distinct colours, `count` of them.
PictureBuffer blocks(int count) {
    PictureBuffer p = PictureBuffer::create(count * 2, 6, 24);
    for (int i = 0; i < count; ++i) {
        const ColourWord c = colourWord(i * 37 % 256, i * 91 % 256, (i * 13 + 40) % 256);
        for (int y = 0; y < 6; ++y) {
            p.setPixel(2 * i, y, c);
            p.setPixel(2 * i + 1, y, c);
        }
    }
    return p;
}

ColourWord colourAt(const PictureBuffer& p, int x, int y) {
    return p.paletteColour(static_cast<int>(p.pixel(x, y)));
}

TEST(ColourReduction, FewColoursAreKeptWithinOne) {
    const PictureBuffer source = blocks(200);
    const PictureBuffer reduced = reduceColours(source);
    ASSERT_TRUE(reduced.isValid());
    EXPECT_EQ(reduced.bitCount(), 8);
    EXPECT_LE(reduced.colourEntries(), 256);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const ColourWord want = source.pixel(x, y);
            const ColourWord got = colourAt(reduced, x, y);
            ASSERT_LE(std::abs(redOf(want) - redOf(got)), 1) << x << "," << y;
            ASSERT_LE(std::abs(greenOf(want) - greenOf(got)), 1) << x << "," << y;
            ASSERT_LE(std::abs(blueOf(want) - blueOf(got)), 1) << x << "," << y;
        }
    }
}

TEST(ColourReduction, DepthFollowsThePaletteSize) {
    EXPECT_EQ(reduceColours(blocks(2)).bitCount(), 1);
    EXPECT_EQ(reduceColours(blocks(3)).bitCount(), 4);
    EXPECT_EQ(reduceColours(blocks(16)).bitCount(), 4);
    EXPECT_EQ(reduceColours(blocks(17)).bitCount(), 8);
}

// A smooth picture with thousands of colours.
PictureBuffer photo(int w, int h) {
    PictureBuffer p = PictureBuffer::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.setPixel(x, y, colourWord(x * 255 / w, y * 255 / h, (x + y) * 255 / (w + h)));
        }
    }
    return p;
}

TEST(ColourReduction, EveryMappingModeGivesAFaithfulPalettePicture) {
    const PictureBuffer source = photo(96, 64);
    for (const MappingMode mode :
         {MappingMode::Nearest, MappingMode::SpaceFilling, MappingMode::FloydSteinberg,
          MappingMode::JarvisJudiceNinke, MappingMode::Ordered}) {
        ReductionOptions options;
        options.mode = mode;
        options.targetColours = 64;
        const PictureBuffer reduced = reduceColours(source, options);
        ASSERT_TRUE(reduced.isValid()) << static_cast<int>(mode);
        EXPECT_LE(reduced.colourEntries(), 64);
        EXPECT_EQ(reduced.bitCount(), 8);
        // Averaged over the picture, the colours stay close.
        long long total = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                const ColourWord a = source.pixel(x, y);
                const ColourWord b = colourAt(reduced, x, y);
                total += std::abs(redOf(a) - redOf(b)) + std::abs(greenOf(a) - greenOf(b)) +
                         std::abs(blueOf(a) - blueOf(b));
            }
        }
        EXPECT_LT(static_cast<double>(total) / (96 * 64 * 3), 12.0) << static_cast<int>(mode);
    }
}

TEST(ColourReduction, TransparentCornerTakesTheLastEntry) {
    PictureBuffer source = photo(40, 30);
    source.setPixel(39, 29, colourWord(1, 2, 3)); // bottom-right corner
    source.setPixel(5, 5, colourWord(1, 2, 3));
    ReductionOptions options;
    options.transparentCorner = 3;
    const PictureBuffer reduced = reduceColours(source, options);
    ASSERT_TRUE(reduced.isValid());
    const int last = reduced.colourEntries() - 1;
    EXPECT_EQ(reduced.paletteColour(last), colourWord(1, 2, 3));
    EXPECT_EQ(reduced.pixel(39, 29), static_cast<std::uint32_t>(last));
    EXPECT_EQ(reduced.pixel(5, 5), static_cast<std::uint32_t>(last));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 39; ++x) {
            if (source.pixel(x, y) != colourWord(1, 2, 3)) {
                ASSERT_NE(reduced.pixel(x, y), static_cast<std::uint32_t>(last)) << x << "," << y;
            }
        }
    }
}

TEST(ColourReduction, ReservedSystemColoursArePresent) {
    ReductionOptions options;
    options.reserveSystemColours = true;
    const PictureBuffer reduced = reduceColours(photo(50, 50), options);
    ASSERT_TRUE(reduced.isValid());
    EXPECT_LE(reduced.colourEntries(), 256);
    std::set<ColourWord> entries;
    for (int i = 0; i < reduced.colourEntries(); ++i) {
        entries.insert(reduced.paletteColour(i));
    }
    for (const ColourWord c :
         {colourWord(0, 0, 0), colourWord(128, 0, 128), colourWord(192, 192, 192),
          colourWord(255, 255, 0), colourWord(255, 255, 255)}) {
        EXPECT_TRUE(entries.count(c)) << std::hex << c;
    }
}

struct ProgressRecord {
    std::vector<int> values;
    int stopAt = 2000;
};

int record(int done, int total, intptr_t user) {
    auto* r = reinterpret_cast<ProgressRecord*>(user);
    EXPECT_EQ(total, 1000);
    r->values.push_back(done);
    return done >= r->stopAt ? 1 : 0;
}

TEST(ColourReduction, ProgressRunsToAThousandAndCanStop) {
    ProgressRecord full;
    ASSERT_TRUE(
        reduceColours(photo(30, 30), {}, record, reinterpret_cast<intptr_t>(&full)).isValid());
    ASSERT_FALSE(full.values.empty());
    EXPECT_TRUE(std::is_sorted(full.values.begin(), full.values.end()));
    EXPECT_EQ(full.values.back(), 1000);
    for (const int stop : {5, 300, 450, 850}) {
        ProgressRecord stopper;
        stopper.stopAt = stop;
        EXPECT_TRUE(
            reduceColours(photo(30, 30), {}, record, reinterpret_cast<intptr_t>(&stopper)).isNull())
            << stop;
    }
}

TEST(ColourReduction, AnyReadableDepthIsAccepted) {
    const PictureBuffer indexed = test::patternPicture(20, 10, 8);
    EXPECT_TRUE(reduceColours(indexed).isValid());
    EXPECT_TRUE(reduceColours(compressRle(test::patternPicture(20, 10, 4))).isValid());
    EXPECT_TRUE(reduceColours(test::patternPicture(20, 10, 16)).isValid());
    EXPECT_TRUE(reduceColours(PictureBuffer::create(1, 1, 24)).isValid());
    EXPECT_TRUE(reduceColours(PictureBuffer{}).isNull());
    ReductionOptions silly;
    silly.targetColours = 300;
    EXPECT_TRUE(reduceColours(indexed, silly).isNull());
}

} // namespace
} // namespace vemra
