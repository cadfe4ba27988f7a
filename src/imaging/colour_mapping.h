#pragma once

#include "imaging/colour_space.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace vemra {

enum class MappingMode {
    Nearest = 0,        // the nearest entry, no error carried
    SpaceFilling = 1,   // error carried along a Hilbert curve
    FloydSteinberg = 2, // serpentine Floyd-Steinberg
    JarvisJudiceNinke = 3,
    Ordered = 4, // a 4 x 4 threshold pattern over 16 candidate entries
};

struct MappingJob {
    std::span<const Rgb> pixels; // top row first
    int width = 0;
    int height = 0;
    std::span<const Rgb> palette;
    int transparentEntry = -1; // index in `palette`, or -1
    Rgb transparentColour = 0; // pixels of this colour take transparentEntry
    MappingMode mode = MappingMode::FloydSteinberg;
    int strength = 5; // tenths of the error that is passed on
};

// Chooses a palette entry for every pixel; `progress` gets 800 to 1000 and
// returns false to stop (nullopt then).
std::optional<std::vector<std::uint8_t>> mapToPalette(const MappingJob& job,
                                                      const ColourSpace& space,
                                                      const std::function<bool(int)>& progress);

} // namespace vemra
