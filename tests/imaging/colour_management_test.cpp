#include "colour_test_support.h"
#include "test_support.h"

#include "imaging/colour_management.h"
#include "imaging/colour_transform_cache.h"
#include "imaging/embedded_profile.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>

namespace vemra {
namespace {

using test::adobeRgbProfile;

// Every 17th level of each channel, plus the corners: 16³ colours in a
// picture 64 pixels wide.
PictureBuffer colourCube(int bits = 24) {
    PictureBuffer picture = PictureBuffer::create(64, 64, bits);
    int i = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x, ++i) {
            const int r = (i % 16) * 17;
            const int g = (i / 16 % 16) * 17;
            const int b = (i / 256 % 16) * 17;
            std::byte* p = picture.row(y).data() + x * (bits / 8);
            p[0] = std::byte(b);
            p[1] = std::byte(g);
            p[2] = std::byte(r);
            if (bits == 32)
                p[3] = std::byte(i & 0xFF);
        }
    }
    return picture;
}

bool hasTransicc() {
    return std::system("command -v transicc >/dev/null 2>&1") == 0;
}

// What lcms2's own tool makes of each colour, from Adobe RGB to sRGB,
// unoptimised and in floating point.
std::vector<std::array<double, 3>> transiccReference(const std::string& profilePath,
                                                     const std::vector<std::array<int, 3>>& in) {
    test::TempDir dir;
    const std::string input = dir.file("in.txt");
    {
        std::FILE* f = std::fopen(input.c_str(), "w");
        for (const auto& c : in)
            std::fprintf(f, "%d %d %d\n", c[0], c[1], c[2]);
        std::fclose(f);
    }
    const std::string command =
        "transicc -n -s -c0 -t0 -i" + profilePath + " -o*sRGB < " + input + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::vector<std::array<double, 3>> out;
    std::array<double, 3> c{};
    while (pipe != nullptr && std::fscanf(pipe, "%lf %lf %lf", &c[0], &c[1], &c[2]) == 3)
        out.push_back(c);
    if (pipe != nullptr)
        pclose(pipe);
    return out;
}

std::vector<std::array<int, 3>> pixelsOf(const PictureBuffer& picture) {
    std::vector<std::array<int, 3>> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const ColourWord c = picture.pixel(x, y);
            out.push_back({redOf(c), greenOf(c), blueOf(c)});
        }
    return out;
}

bool sameBytes(const PictureBuffer& a, const PictureBuffer& b) {
    return a.blockSize() == b.blockSize() &&
           std::equal(a.block().begin(), a.block().end(), b.block().begin());
}

TEST(ColourManagement, AdobeRgbToSrgbMatchesTransicc) {
    if (!hasTransicc())
        GTEST_SKIP() << "transicc (liblcms2-utils) is not installed";
    test::TempDir dir;
    const std::vector<std::byte> adobe = adobeRgbProfile();
    const std::string profilePath = dir.file("adobe.icc");
    test::writeFile(profilePath, adobe);

    PictureBuffer picture = colourCube();
    const std::vector<std::array<int, 3>> before = pixelsOf(picture);
    ASSERT_EQ(convertToDisplay(picture, adobe, *DisplayColour::srgb()), ColourOutcome::Converted);
    const std::vector<std::array<int, 3>> after = pixelsOf(picture);
    const std::vector<std::array<double, 3>> reference = transiccReference(profilePath, before);
    ASSERT_EQ(reference.size(), before.size());
    int worst = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const int expected = static_cast<int>(std::lround(reference[i][ch]));
            worst = std::max(worst, std::abs(after[i][ch] - expected));
            ASSERT_LE(std::abs(after[i][ch] - expected), 1)
                << "colour " << before[i][0] << "," << before[i][1] << "," << before[i][2];
        }
    // Adobe RGB is wider than sRGB: most saturated colours really moved.
    int moved = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        for (int ch = 0; ch < 3; ++ch)
            moved += std::abs(after[i][ch] - before[i][ch]) > 8 ? 1 : 0;
    EXPECT_GT(moved, 256);
    RecordProperty("largest difference from transicc", worst);
}

// The same conversion reached through every layout a decoder delivers.
TEST(ColourManagement, LayoutsConvertAlikeAndKeepWhatIsNotColour) {
    const std::vector<std::byte> adobe = adobeRgbProfile();
    PictureBuffer reference = colourCube();
    convertToDisplay(reference, adobe, *DisplayColour::srgb());

    // 32 bits: the same colours, the fourth byte untouched.
    PictureBuffer bgra = colourCube(32);
    ASSERT_EQ(convertToDisplay(bgra, adobe, *DisplayColour::srgb()), ColourOutcome::Converted);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::byte* p = bgra.row(y).data() + x * 4;
            const std::byte* q = reference.row(y).data() + x * 3;
            ASSERT_TRUE(p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) << x << "," << y;
            ASSERT_EQ(std::to_integer<int>(p[3]), (y * 64 + x) & 0xFF);
        }

    // A palette picture: the table converts, the indices stay.
    PictureBuffer palette = PictureBuffer::create(16, 16, 8);
    for (int i = 0; i < 256; ++i) {
        const int r = (i % 16) * 17, g = (i / 16 % 16) * 17, b = 0;
        palette.setPaletteColour(i, colourWord(r, g, b));
        palette.setPixel(i % 16, i / 16, static_cast<std::uint32_t>(i));
    }
    const std::vector<std::byte> indices(palette.pixels().begin(), palette.pixels().end());
    ASSERT_EQ(convertToDisplay(palette, adobe, *DisplayColour::srgb()), ColourOutcome::Converted);
    EXPECT_TRUE(std::equal(indices.begin(), indices.end(), palette.pixels().begin()));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(palette.paletteColour(i), reference.pixel(i % 64, i / 64)) << i;
}

// Pictures that must come out exactly as they went in, and why.
TEST(ColourManagement, PicturesLeftAsTheyAre) {
    const std::vector<std::byte> adobe = adobeRgbProfile();
    std::vector<std::byte> cut = adobe;
    cut.resize(cut.size() / 2);
    std::vector<std::byte> noise(600);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = std::byte(i * 37 + 11);
    std::vector<std::byte> lying = adobe; // declares more bytes than it has
    lying[0] = std::byte{0x7F};
    const struct {
        const char* what;
        std::vector<std::byte> icc;
        ColourOutcome expected;
    } cases[] = {
        {"untagged", {}, ColourOutcome::Untouched},
        {"tagged sRGB", test::srgbProfile(), ColourOutcome::Untouched},
        {"grey profile on colours", test::greyProfile(), ColourOutcome::ProfileIgnored},
        {"cut profile", cut, ColourOutcome::ProfileIgnored},
        {"noise", noise, ColourOutcome::ProfileIgnored},
        {"size beyond the bytes", lying, ColourOutcome::ProfileIgnored},
    };
    for (const auto& c : cases) {
        for (int bits : {24, 32}) {
            PictureBuffer picture = colourCube(bits);
            const PictureBuffer original = picture.duplicate();
            EXPECT_EQ(convertToDisplay(picture, c.icc, *DisplayColour::srgb()), c.expected)
                << c.what << " " << bits;
            EXPECT_TRUE(sameBytes(picture, original)) << c.what << " " << bits;
        }
    }
    // A grey profile does convert a grey palette: it says how grey looks.
    PictureBuffer grey = PictureBuffer::create(16, 16, 8);
    for (int i = 0; i < 256; ++i)
        grey.setPaletteColour(i, colourWord(i, i, i));
    EXPECT_EQ(convertToDisplay(grey, test::greyProfile(), *DisplayColour::srgb()),
              ColourOutcome::Converted);
    int changed = 0;
    for (int i = 0; i < 256; ++i) {
        const ColourWord c = grey.paletteColour(i);
        ASSERT_TRUE(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c)) << i;
        changed += redOf(c) != i ? 1 : 0;
    }
    EXPECT_GT(changed, 0); // gamma 2.2 is close to sRGB's curve, not the same
    EXPECT_EQ(grey.paletteColour(255), colourWord(255, 255, 255));
    // 16-bit pictures have no 8-bit channels to convert.
    PictureBuffer deep = PictureBuffer::create(4, 4, 16);
    EXPECT_EQ(convertToDisplay(deep, adobe, *DisplayColour::srgb()), ColourOutcome::Unsupported);
}

TEST(ColourManagement, DisplayTargets) {
    EXPECT_EQ(DisplayColour::srgb()->mark(), 1);
    EXPECT_EQ(colourMarkOf(nullptr), 0);
    EXPECT_EQ(DisplayColour::fromProfile(test::greyProfile()), nullptr);
    EXPECT_EQ(DisplayColour::fromProfile({}), nullptr);
    const auto p3 = DisplayColour::fromProfile(test::displayP3Profile());
    ASSERT_NE(p3, nullptr);
    EXPECT_EQ(p3->description(), "Display P3");
    EXPECT_GE(p3->mark(), 2);
    EXPECT_EQ(p3->mark(), DisplayColour::fromProfile(test::displayP3Profile())->mark());

    // On a wide-gamut display an untagged picture is sRGB and is converted;
    // one tagged with the display's own profile is not.
    PictureBuffer untagged = colourCube();
    EXPECT_EQ(convertToDisplay(untagged, {}, *p3), ColourOutcome::Converted);
    EXPECT_LT(redOf(untagged.pixel(15, 0)), 255); // sRGB red is inside P3
    PictureBuffer own = colourCube();
    const PictureBuffer original = own.duplicate();
    EXPECT_EQ(convertToDisplay(own, test::displayP3Profile(), *p3), ColourOutcome::Untouched);
    EXPECT_TRUE(sameBytes(own, original));
}

// The profile comes out of each container exactly as it went in, also when
// it takes several JPEG markers.
TEST(ColourManagement, EmbeddedProfilesAreFoundInEveryContainer) {
    test::TempDir dir;
    const PictureBuffer picture = test::patternPicture(24, 16, 24);
    const std::vector<std::byte> small = adobeRgbProfile();
    const std::vector<std::byte> large = adobeRgbProfile(40000); // an 80 KB curve
    ASSERT_GT(large.size(), 65519u);
    const struct {
        const char* what;
        std::vector<std::byte> file;
        std::vector<std::byte> icc;
    } cases[] = {
        {"png", test::pngWithProfile(picture, small), small},
        {"jpeg", test::jpegWithProfile(picture, small), small},
        {"jpeg chain", test::jpegWithProfile(picture, large), large},
        {"tiff", test::tiffWithProfile(picture, small, dir.file("a.tif")), small},
        {"untagged png", test::pngWithProfile(picture, {}), {}},
        {"untagged jpeg", test::jpegWithProfile(picture, {}), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(embeddedColourProfile(c.file), c.icc) << c.what;
        const std::string path = dir.file(std::string(c.what) + ".bin");
        test::writeFile(path, c.file);
        EXPECT_EQ(embeddedColourProfile(path), c.icc) << c.what;
    }
    // WebP (ICCP chunk) and HEIF (colr box), as exiftool and libheif wrote
    // them: the fuzz seeds.
    const std::string seeds = std::string(VEMRA_SOURCE_DIR) + "/fuzz/seeds/colour_profile/";
    const std::vector<std::byte> seedProfile = test::readFile(seeds + "adobe.icc");
    ASSERT_FALSE(seedProfile.empty());
    for (const char* name : {"adobe-tagged.webp", "adobe-tagged.heic", "adobe-tagged.jpg"})
        EXPECT_EQ(embeddedColourProfile(seeds + name), seedProfile) << name;

    // Cut files and noise give nothing, and no exception escapes.
    std::vector<std::byte> jpeg = test::jpegWithProfile(picture, large);
    for (std::size_t keep : {std::size_t{3}, std::size_t{200}, jpeg.size() / 2})
        EXPECT_TRUE(embeddedColourProfile(std::span(jpeg).first(keep)).empty()) << keep;
    EXPECT_TRUE(embeddedColourProfile(dir.file("missing.jpg")).empty());
}

// Threads share the cached transforms; a large picture is converted in
// bands on several threads. Both must give what one thread gives.
TEST(ColourManagement, ConcurrentAndBandedConversionsAgree) {
    clearColourRoutes();
    const std::vector<std::vector<std::byte>> profiles = {adobeRgbProfile(),
                                                          test::displayP3Profile()};
    std::vector<PictureBuffer> expected;
    for (const auto& icc : profiles) {
        PictureBuffer p = colourCube();
        convertToDisplay(p, icc, *DisplayColour::srgb());
        expected.push_back(std::move(p));
    }
    std::vector<std::jthread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                const std::size_t which = static_cast<std::size_t>(t + round) % profiles.size();
                PictureBuffer p = colourCube();
                convertToDisplay(p, profiles[which], *DisplayColour::srgb());
                if (!sameBytes(p, expected[which]))
                    ++wrong;
            }
        });
    threads.clear();
    EXPECT_EQ(wrong, 0);

    // 1600 x 1200 repeats the cube: banded over threads, each tile must
    // equal the small picture's conversion.
    PictureBuffer large = PictureBuffer::create(1600, 1200, 24);
    const PictureBuffer cube = colourCube();
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            large.setPixel(x, y, cube.pixel(x % 64, y % 64));
    ASSERT_EQ(convertToDisplay(large, profiles[0], *DisplayColour::srgb()),
              ColourOutcome::Converted);
    for (int y = 0; y < 1200; y += 7)
        for (int x = 0; x < 1600; x += 5)
            ASSERT_EQ(large.pixel(x, y), expected[0].pixel(x % 64, y % 64)) << x << "," << y;
}

TEST(ColourManagement, RouteCacheStaysBounded) {
    clearColourRoutes();
    for (int i = 0; i < 40; ++i) {
        // Distinct profiles: the description differs.
        std::vector<std::byte> icc = adobeRgbProfile();
        icc[icc.size() - 1] = std::byte(i);
        PictureBuffer p = PictureBuffer::create(2, 2, 24);
        convertToDisplay(p, icc, *DisplayColour::srgb());
    }
    EXPECT_LE(colourRouteCount(), kMaxColourRoutes);
    EXPECT_GT(colourRouteCount(), 0u);
}

} // namespace
} // namespace vemra
