#pragma once

#include "imaging/colour_space.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace vemra {

struct WeightedColour {
    Rgb colour = 0;
    std::uint64_t weight = 0;
};

// Finds up to `target` representative colours for the given distinct colours
// by splitting clusters along their principal axis, always the cluster with
// the largest weighted error first, at most 760 times. `progress` receives
// values from 425 to 800 and returns false to stop (the result is then
// nullopt). The colours come back distinct, in no particular order.
std::optional<std::vector<Rgb>> searchPalette(std::span<const WeightedColour> colours,
                                              const ColourSpace& space, int target,
                                              const std::function<bool(int)>& progress);

// The eigenvalues and column eigenvectors of a symmetric 3 x 3 matrix by
// Jacobi rotations (exposed for tests).
void jacobiEigen(const double matrix[3][3], double values[3], double vectors[3][3]);

} // namespace vemra
