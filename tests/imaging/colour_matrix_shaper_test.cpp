#include "colour_test_support.h"

#include "imaging/colour_management.h"
#include "imaging/colour_transform_cache.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace vemra {
namespace {

std::vector<std::byte> saved(cmsHPROFILE profile) {
    return test::savedProfile(profile);
}

// An RGB matrix-shaper profile of the given primaries, white and curve (the
// curve is freed here). `version` 2 or 4: lcms2 treats the two differently
// in perceptual conversions (black-point compensation).
std::vector<std::byte> rgbProfile(const cmsCIExyYTRIPLE& primaries, const cmsCIExyY& white,
                                  cmsToneCurve* curve, double version = 4.3) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsSetProfileVersion(profile, version);
    return saved(profile);
}

const cmsCIExyY kD65{0.3127, 0.3290, 1.0};
const cmsCIExyY kD50{0.3457, 0.3585, 1.0};

// A wide-gamut camera working space (ProPhoto's primaries, D50, gamma 1.8).
std::vector<std::byte> wideGamutProfile() {
    const cmsCIExyYTRIPLE primaries{
        {0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
    return rgbProfile(primaries, kD50, cmsBuildGamma(nullptr, 1.8));
}

// A measured display: primaries a little off sRGB's, a plain gamma curve.
std::vector<std::byte> gammaDisplayProfile() {
    const cmsCIExyYTRIPLE primaries{{0.652, 0.334, 1.0}, {0.305, 0.615, 1.0}, {0.149, 0.058, 1.0}};
    return rgbProfile(primaries, {0.3134, 0.3291, 1.0}, cmsBuildGamma(nullptr, 2.2));
}

// A display described with a parametric curve (ITU-R BT.709's transfer).
std::vector<std::byte> parametricDisplayProfile() {
    const cmsCIExyYTRIPLE primaries{{0.640, 0.330, 1.0}, {0.300, 0.600, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number rec709[] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
    return rgbProfile(primaries, kD65, cmsBuildParametricToneCurve(nullptr, 4, rec709));
}

// A display profile whose curve is a measured table (256 entries).
std::vector<std::byte> tabulatedDisplayProfile() {
    std::vector<cmsUInt16Number> table(256);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const double x = static_cast<double>(i) / 255.0;
        table[i] = static_cast<cmsUInt16Number>(65535.0 * std::pow(x, 2.3) + 0.5);
    }
    const cmsCIExyYTRIPLE primaries{{0.660, 0.330, 1.0}, {0.290, 0.630, 1.0}, {0.150, 0.055, 1.0}};
    return rgbProfile(primaries, kD65, cmsBuildTabulatedToneCurve16(nullptr, 256, table.data()));
}

// A version 4 profile whose black is not zero: lcms2 compensates black
// points in perceptual conversions, which the tables do not.
std::vector<std::byte> liftedBlackProfile() {
    std::vector<cmsUInt16Number> table(256);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const double x = static_cast<double>(i) / 255.0;
        table[i] = static_cast<cmsUInt16Number>(65535.0 * (0.04 + 0.96 * std::pow(x, 2.2)) + 0.5);
    }
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    return rgbProfile(primaries, kD65, cmsBuildTabulatedToneCurve16(nullptr, 256, table.data()));
}

// Every colour whose levels are multiples of `step` (1: all 16.7 million,
// 3: 86 levels a channel, both ends included), blue varying fastest.
PictureBuffer colourGrid(int step) {
    const int levels = 255 / step + 1;
    PictureBuffer picture = PictureBuffer::create(levels * levels, levels, 24);
    for (int r = 0; r < levels; ++r) {
        auto* p = reinterpret_cast<std::uint8_t*>(picture.row(r).data());
        for (int g = 0; g < levels; ++g)
            for (int b = 0; b < levels; ++b, p += 3) {
                p[0] = static_cast<std::uint8_t>(b * step);
                p[1] = static_cast<std::uint8_t>(g * step);
                p[2] = static_cast<std::uint8_t>(r * step);
            }
    }
    return picture;
}

struct Profile {
    std::unique_ptr<void, decltype(&cmsCloseProfile)> handle;
    explicit Profile(const std::vector<std::byte>& icc)
        : handle(icc.empty()
                     ? cmsCreate_sRGBProfile()
                     : cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())),
                 &cmsCloseProfile) {}
};

// Every colour through convertToDisplay against lcms2's own 8-bit transform
// of the same pair (perceptual, as the program asks for): no channel may
// differ by more than 1. The pairs that are matrix-shaper on both sides
// must take the fast tables; those lcms2 treats in ways of its own keep its
// transform.
TEST(ColourMatrixShaper, EveryColourAsLcms2ConvertsIt) {
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const std::vector<std::byte> p3 = test::displayP3Profile();
    const struct {
        const char* what;
        std::vector<std::byte> source;  // empty: sRGB
        std::vector<std::byte> display; // empty: sRGB
        bool fast;
        int step; // every colour for the commonest pair, a dense grid for the rest
    } cases[] = {
        {"Adobe RGB to sRGB", adobe, {}, true, 1},
        {"Display P3 to sRGB", p3, {}, true, 3},
        {"sRGB to a Display P3 screen", {}, p3, true, 3},
        {"wide gamut to a gamma 2.2 screen", wideGamutProfile(), gammaDisplayProfile(), true, 3},
        {"tabulated Adobe RGB to a BT.709 screen", test::adobeRgbProfile(1024),
         parametricDisplayProfile(), true, 3},
        {"Adobe RGB to a measured screen", adobe, tabulatedDisplayProfile(), true, 3},
        {"lifted black to sRGB", liftedBlackProfile(), {}, false, 5},
    };
    for (const auto& c : cases) {
        const PictureBuffer all = colourGrid(c.step);
        SCOPED_TRACE(c.what);
        clearColourRoutes();
        const auto display =
            c.display.empty() ? DisplayColour::srgb() : DisplayColour::fromProfile(c.display);
        ASSERT_NE(display, nullptr);
        const ColourRoute route =
            colourRoute(c.source, colourProfileHash(c.source), *display, ColourPixels::Bgr);
        ASSERT_EQ(route.kind, ColourRoute::Kind::Convert);
        EXPECT_EQ(route.transform->matrixShaper(), c.fast);

        PictureBuffer ours = all.duplicate();
        ASSERT_EQ(convertToDisplay(ours, c.source, *display), ColourOutcome::Converted);
        const Profile from(c.source), to(c.display);
        cmsHTRANSFORM lcms = cmsCreateTransform(from.handle.get(), TYPE_BGR_8, to.handle.get(),
                                                TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        ASSERT_NE(lcms, nullptr);
        std::vector<std::uint8_t> theirs(all.pixels().size());
        cmsDoTransformLineStride(lcms, all.pixels().data(), theirs.data(),
                                 static_cast<cmsUInt32Number>(all.width()),
                                 static_cast<cmsUInt32Number>(all.height()),
                                 static_cast<cmsUInt32Number>(all.rowBytes()),
                                 static_cast<cmsUInt32Number>(all.rowBytes()), 0, 0);
        cmsDeleteTransform(lcms);

        const auto* mine = reinterpret_cast<const std::uint8_t*>(ours.pixels().data());
        int worst = 0;
        std::size_t differing = 0;
        std::size_t first = theirs.size();
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            const int d = std::abs(int{mine[i]} - int{theirs[i]});
            if (d > 1 && first == theirs.size())
                first = i;
            worst = std::max(worst, d);
            differing += d != 0 ? 1 : 0;
        }
        EXPECT_LE(worst, 1) << "first at byte " << first;
        RecordProperty(std::string(c.what) + ": channels differing from lcms2",
                       static_cast<int>(differing));
    }
}

} // namespace
} // namespace vemra
