#include "imaging/colour_matrix_shaper.h"

#include <lcms2_plugin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vemra {
namespace {

using Contribution = MatrixShaperTransform::Contribution;
constexpr int kSteps = MatrixShaperTransform::kLinearSteps;
constexpr std::int32_t kRounding = kSteps / 2;

const cmsTagSignature kColorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                       cmsSigBlueColorantTag};
const cmsTagSignature kCurves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

bool matrixShaperRgb(cmsHPROFILE profile) {
    return cmsGetColorSpace(profile) == cmsSigRgbData && cmsIsMatrixShaper(profile);
}

// The colorants as lcms2 reads them: one column per channel, rows X, Y, Z.
bool colorantMatrix(cmsHPROFILE profile, cmsMAT3& m) {
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, kColorants[c]));
        if (xyz == nullptr)
            return false;
        m.v[0].n[c] = xyz->X;
        m.v[1].n[c] = xyz->Y;
        m.v[2].n[c] = xyz->Z;
    }
    return true;
}

// 1.14 fixed point, rounded as lcms2 rounds its own tables.
std::int64_t fixed14(double x) {
    return static_cast<std::int64_t>(std::floor(x * kSteps + 0.5));
}

// An 8-bit output level from a 0..1 value, through the 16-bit word lcms2
// makes first (a direct rounding to 8 bits differs by one now and then).
std::uint8_t outputLevel(double value) {
    // Written so that a curve giving NaN (a hostile profile) lands on 0.
    const double clipped = value > 1.0 ? 1.0 : (value >= 0.0 ? value : 0.0);
    const double word = clipped * 65535.0 + 0.5;
    const auto w = static_cast<std::uint32_t>(std::min(std::floor(word), 65535.0));
    return static_cast<std::uint8_t>((w * 65281u + 8388608u) >> 24);
}

// Colours the fast tables must convert as lcms2 does: every grey, each
// channel alone at every level (the curves' ends and steep dark parts), and
// a grid through the cube (the matrix and the clipping of wide colours).
std::vector<std::uint8_t> probeColours(int bytesPerPixel) {
    std::vector<std::uint8_t> out;
    const auto add = [&](int r, int g, int b) {
        out.push_back(static_cast<std::uint8_t>(b));
        out.push_back(static_cast<std::uint8_t>(g));
        out.push_back(static_cast<std::uint8_t>(r));
        if (bytesPerPixel == 4)
            out.push_back(0xFF);
    };
    for (int v = 0; v < 256; ++v) {
        add(v, v, v);
        add(v, 0, 0);
        add(0, v, 0);
        add(0, 0, v);
        add(v, 255, 255 - v);
    }
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15)
                add(r, g, b);
    return out;
}

#if defined(__SSE2__)

inline __m128i linearOf(const Contribution (*c)[256], const std::uint8_t* pixel) {
    const auto lanes = [&](int channel, std::uint8_t level) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(c[channel][level].lanes));
    };
    return _mm_add_epi32(_mm_add_epi32(lanes(0, pixel[2]), lanes(1, pixel[1])), lanes(2, pixel[0]));
}

// Two pixels' linear values, shifted out of 1.14 and clipped to 0..1 as
// eight 16-bit lanes (red, green, blue, zero for each).
inline __m128i clippedPair(__m128i a, __m128i b) {
    const __m128i packed = _mm_packs_epi32(_mm_srai_epi32(a, 14), _mm_srai_epi32(b, 14));
    return _mm_min_epi16(_mm_max_epi16(packed, _mm_setzero_si128()), _mm_set1_epi16(kSteps));
}

template <int Lane>
inline void store(std::uint8_t* pixel, __m128i levels, const std::uint8_t* const* output) {
    pixel[2] = output[0][_mm_extract_epi16(levels, Lane)];
    pixel[1] = output[1][_mm_extract_epi16(levels, Lane + 1)];
    pixel[0] = output[2][_mm_extract_epi16(levels, Lane + 2)];
}

// Four pixels a round: their twelve table reads are independent, so the
// processor overlaps them. Every byte of the four is read before any is
// written, which keeps a conversion in place correct.
template <int Bytes>
void convertRows(const Contribution (*c)[256], const std::uint8_t* const* output,
                 const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) {
    std::size_t i = 0;
    for (; i + 4 <= pixels; i += 4, in += 4 * Bytes, out += 4 * Bytes) {
        const __m128i a = linearOf(c, in);
        const __m128i b = linearOf(c, in + Bytes);
        const __m128i d = linearOf(c, in + 2 * Bytes);
        const __m128i e = linearOf(c, in + 3 * Bytes);
        if constexpr (Bytes == 4) {
            out[3] = in[3];
            out[Bytes + 3] = in[Bytes + 3];
            out[2 * Bytes + 3] = in[2 * Bytes + 3];
            out[3 * Bytes + 3] = in[3 * Bytes + 3];
        }
        const __m128i first = clippedPair(a, b);
        const __m128i second = clippedPair(d, e);
        store<0>(out, first, output);
        store<4>(out + Bytes, first, output);
        store<0>(out + 2 * Bytes, second, output);
        store<4>(out + 3 * Bytes, second, output);
    }
    for (; i < pixels; ++i, in += Bytes, out += Bytes) {
        const __m128i a = linearOf(c, in);
        if constexpr (Bytes == 4)
            out[3] = in[3];
        store<0>(out, clippedPair(a, a), output);
    }
}

#else

template <int Bytes>
void convertRows(const Contribution (*c)[256], const std::uint8_t* const* output,
                 const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, in += Bytes, out += Bytes) {
        const Contribution& r = c[0][in[2]];
        const Contribution& g = c[1][in[1]];
        const Contribution& b = c[2][in[0]];
        std::int32_t level[3];
        for (int k = 0; k < 3; ++k)
            level[k] = std::clamp((r.lanes[k] + g.lanes[k] + b.lanes[k]) >> 14, 0, kSteps);
        if constexpr (Bytes == 4)
            out[3] = in[3];
        out[2] = output[0][level[0]];
        out[1] = output[1][level[1]];
        out[0] = output[2][level[2]];
    }
}

#endif

} // namespace

std::unique_ptr<const MatrixShaperTransform> MatrixShaperTransform::build(cmsHPROFILE from,
                                                                          cmsHPROFILE to,
                                                                          cmsHTRANSFORM reference,
                                                                          int bytesPerPixel) {
    if (reference == nullptr || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
        !matrixShaperRgb(from) || !matrixShaperRgb(to))
        return nullptr;
    cmsMAT3 source{}, target{}, targetInverse{}, combined{};
    if (!colorantMatrix(from, source) || !colorantMatrix(to, target) ||
        !_cmsMAT3inverse(&target, &targetInverse))
        return nullptr;
    // Source to the connection space, then from there to the target.
    _cmsMAT3per(&combined, &targetInverse, &source);

    auto made = std::make_unique<MatrixShaperTransform>();
    // Real matrices stay within a few units; damaged colorants may give
    // anything, NaN included, which must never reach an integer.
    constexpr double kLargestCoefficient = 64.0;
    std::int64_t matrix[3][3];
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 3; ++c) {
            const double x = combined.v[row].n[c];
            if (!(std::abs(x) < kLargestCoefficient))
                return nullptr;
            matrix[row][c] = fixed14(x);
        }
    std::int64_t largestInput = 0;
    std::int64_t input[3][256];
    for (int c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(from, kCurves[c]));
        if (curve == nullptr)
            return nullptr;
        for (int v = 0; v < 256; ++v) {
            const double y = cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0));
            // Tone curves give 0..1; anything far outside is a profile
            // lcms2 treats in ways of its own.
            if (!(y >= -1.0 && y <= 2.0))
                return nullptr;
            input[c][v] = fixed14(y);
            largestInput = std::max(largestInput, std::abs(input[c][v]));
        }
    }
    // The sums must stay within 32 bits for every input.
    for (int row = 0; row < 3; ++row) {
        std::int64_t reach = kRounding;
        for (int c = 0; c < 3; ++c)
            reach += std::abs(matrix[row][c]) * largestInput;
        if (reach >= (std::int64_t{1} << 31))
            return nullptr;
    }
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            Contribution& entry = made->m_contribution[c][v];
            for (int row = 0; row < 3; ++row)
                entry.lanes[row] = static_cast<std::int32_t>(matrix[row][c] * input[c][v] +
                                                             (c == 0 ? kRounding : 0));
            entry.lanes[3] = 0;
        }

    for (int k = 0; k < 3; ++k) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(to, kCurves[k]));
        if (curve == nullptr)
            return nullptr;
        const std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)> inverse(
            cmsReverseToneCurve(curve), &cmsFreeToneCurve);
        if (!inverse)
            return nullptr;
        std::vector<std::uint8_t>& table = made->m_output[k];
        table.resize(kSteps + 1);
        for (int i = 0; i <= kSteps; ++i)
            table[static_cast<std::size_t>(i)] = outputLevel(cmsEvalToneCurveFloat(
                inverse.get(), static_cast<cmsFloat32Number>(i / static_cast<double>(kSteps))));
    }

    const std::vector<std::uint8_t> probe = probeColours(bytesPerPixel);
    const std::size_t n = probe.size() / static_cast<std::size_t>(bytesPerPixel);
    std::vector<std::uint8_t> expected(probe.size());
    std::vector<std::uint8_t> ours(probe.size());
    cmsDoTransform(reference, probe.data(), expected.data(), static_cast<cmsUInt32Number>(n));
    made->run(probe.data(), ours.data(), n, bytesPerPixel);
    for (std::size_t i = 0; i < probe.size(); ++i)
        if (std::abs(int{expected[i]} - int{ours[i]}) > 1)
            return nullptr;
    return made;
}

void MatrixShaperTransform::run(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels,
                                int bytesPerPixel) const {
    const std::uint8_t* const output[3] = {m_output[0].data(), m_output[1].data(),
                                           m_output[2].data()};
    if (bytesPerPixel == 4)
        convertRows<4>(m_contribution, output, in, out, pixels);
    else
        convertRows<3>(m_contribution, output, in, out, pixels);
}

} // namespace vemra
