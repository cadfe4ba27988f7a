#pragma once

#include "imaging/picture_buffer.h"

#include <span>
#include <string_view>
#include <vector>

namespace vemra {

// The unsharp mask: every channel of every pixel is pushed away from the
// weighted mean of its neighbourhood by `amount` times their difference,
// computed from the unchanged picture and clamped to 0-255.
//
// `side` (1-5) is the kernel's side length n; the window is (2e + 1)^2 with
// e = (n - 1) / 2, and window position (row k, column m), rows in storage
// order, has weight weights[k * n + m] (missing weights are 0). Neighbours
// outside the picture and weights of 0 take no part; when the weights taken
// add up to 0 the sum is divided by 1.
//
// Only 24-bit pictures are sharpened; others, and a side outside 1-5, give
// an unchanged copy. Null when memory runs out.
PictureBuffer unsharp(const PictureBuffer& picture, double amount, int side,
                      std::span<const int> weights);

// The same with the four direct neighbours, each of weight 1, and without
// the centre.
PictureBuffer unsharpCross(const PictureBuffer& picture, double amount);

// The strength of the viewer's sharpen command, applied anew each time.
inline constexpr double kViewerUnsharpAmount = 0.3;

// The thumbnail sharpening settings, with their defaults.
struct UnsharpSettings {
    bool enabled = true;                                // `Unsharp`
    int side = 3;                                       // `UnsharpPassCount`
    std::vector<int> kernel{1, 1, 1, 1, 0, 1, 1, 1, 1}; // `UnsharpKernel`
    double level = 0.5;                                 // `UnsharpLevel`, the user's bias

    // Takes the stored values of `UnsharpPassCount`, `UnsharpKernel` ("1,1,...")
    // and `UnsharpLevel` ("0.5"). A pass count outside 1-5 keeps side, kernel
    // and level as they are; a level outside 0-1 (or no number) becomes 0.
    void apply(int passCount, std::string_view kernelText, std::string_view levelText);
};

struct PictureSize {
    int width = 0;
    int height = 0;
};

enum class SharpeningKind {
    None,   // the thumbnail is left as it is
    Cross,  // unsharpCross
    Kernel, // unsharp with the settings' kernel
};

struct SharpeningChoice {
    SharpeningKind kind = SharpeningKind::None;
    double strength = 0;
};

// How strongly a thumbnail is sharpened. `decoded` is the size of the picture
// that was scaled, `full` the picture's recorded size (larger when a decoder
// delivered a reduced picture; an empty one counts as `decoded`). The
// strength comes from tables of the factors relative to both, plus
// `level` - 0.5; 0.3-0.35 chooses the cross, 0 or less no sharpening.
SharpeningChoice chooseThumbnailSharpening(PictureSize thumbnail, PictureSize decoded,
                                           PictureSize full, double level);

// Sharpens a freshly scaled thumbnail as the settings ask. Null when the
// settings or the strength call for no sharpening, or memory runs out: the
// caller then keeps the thumbnail it has.
PictureBuffer sharpenThumbnail(const PictureBuffer& thumbnail, PictureSize decoded,
                               PictureSize full, const UnsharpSettings& settings);

} // namespace vemra
