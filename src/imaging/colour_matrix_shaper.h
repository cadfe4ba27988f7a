#pragma once

#include <lcms2.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vemra {

// The conversion between two RGB matrix-shaper profiles (the profiles of
// nearly every camera, phone and display) with tables of our own: each
// source channel's tone curve as a 256-entry table of linear values already
// multiplied into the combined 3x3 matrix (source to the connection space to
// the target), then clipping and the target's inverse curves as 16385-entry
// tables. The fixed-point steps are those of lcms2's own 8-bit
// matrix-shaper transform and the curves and colorants are read and
// evaluated by lcms2, so the results are lcms2's, byte for byte; the loop
// has none of lcms2's per-pixel unpacking and calls and runs about five
// times faster. Immutable once built; any number of threads may run it.
class MatrixShaperTransform {
public:
    // The fast conversion from `from` to `to`, or null when either is not
    // an RGB matrix-shaper profile or the tables do not give what
    // `reference` (lcms2's transform of the same pair, 8-bit BGR or BGRA as
    // `bytesPerPixel` says) gives on a set of probe colours within 1. lcms2
    // may add stages of its own for unusual profiles (black-point
    // compensation of version 4 profiles whose black is not zero, curves
    // beyond 0..1): those pairs keep lcms2's transform.
    static std::unique_ptr<const MatrixShaperTransform>
    build(cmsHPROFILE from, cmsHPROFILE to, cmsHTRANSFORM reference, int bytesPerPixel);

    // Converts `pixels` pixels of `bytesPerPixel` (3: BGR, 4: BGRA whose
    // fourth byte is copied) from `in` to `out`; `in` may be `out`.
    void run(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels,
             int bytesPerPixel) const;

    // What each 8-bit level of a source channel adds to the three linear
    // target channels (red, green, blue, and a zero lane), in 1.14 fixed
    // point; the rounding term rides on the red channel's entries.
    struct Contribution {
        alignas(16) std::int32_t lanes[4];
    };
    static constexpr int kLinearSteps = 16384; // 1.0 in 1.14 fixed point

    MatrixShaperTransform() = default;

private:
    Contribution m_contribution[3][256]{}; // red, green, blue source channel
    std::vector<std::uint8_t> m_output[3]; // kLinearSteps + 1 each
};

} // namespace vemra
