#pragma once

#include "imaging/colour_matrix_shaper.h"

#include <lcms2.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vemra {

class DisplayColour;

// How the pixels handed to a transform are laid out; the output has the
// same layout except for Grey, whose output is BGR (a grey palette's
// entries become colours on a display that is not grey).
enum class ColourPixels { Bgr, Bgra, Grey };

// One lcms2 transform to a display, shared by every thread: lcms2 keeps no
// per-call state in it, so several threads may run it at once. Between two
// RGB matrix-shaper profiles it also holds the faster tables that give the
// same results, and runs those.
class ColourTransform {
public:
    explicit ColourTransform(cmsHTRANSFORM handle,
                             std::unique_ptr<const MatrixShaperTransform> fast = nullptr,
                             int bytesPerPixel = 3)
        : m_handle(handle), m_fast(std::move(fast)), m_bytesPerPixel(bytesPerPixel) {}
    ~ColourTransform() { cmsDeleteTransform(m_handle); }
    ColourTransform(const ColourTransform&) = delete;
    ColourTransform& operator=(const ColourTransform&) = delete;

    // `lines` rows of `pixels` pixels, `strideIn`/`strideOut` bytes apart;
    // `in` may be `out` when the layouts have the same pixel size.
    void run(const void* in, void* out, std::uint32_t pixels, std::uint32_t lines,
             std::uint32_t strideIn, std::uint32_t strideOut) const;
    // True when run() takes the matrix-shaper tables instead of lcms2.
    bool matrixShaper() const { return m_fast != nullptr; }

private:
    cmsHTRANSFORM m_handle;
    std::unique_ptr<const MatrixShaperTransform> m_fast;
    int m_bytesPerPixel = 3;
};

// What converting from a source profile to a display comes to.
struct ColourRoute {
    enum class Kind {
        Identity, // same colours: nothing to do
        Refused,  // the source profile is unusable for these pixels
        Convert,
    };
    Kind kind = Kind::Refused;
    std::shared_ptr<const ColourTransform> transform; // with Convert
};

// The route from `source` (an embedded ICC profile whose hash is
// `sourceHash`; empty: sRGB) to `display` for `pixels`. Routes are kept in a
// small process-wide cache keyed by the two profiles' hashes and the
// layout, so a folder of pictures from one camera opens its profile once;
// refusals are kept too. Thread-safe.
ColourRoute colourRoute(std::span<const std::byte> source, std::uint64_t sourceHash,
                        const DisplayColour& display, ColourPixels pixels);

// Routes held now, and forgetting them all (tests; a cache of at most this
// many routes is kept).
inline constexpr std::size_t kMaxColourRoutes = 32;
std::size_t colourRouteCount();
void clearColourRoutes();

} // namespace vemra
