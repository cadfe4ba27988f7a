#pragma once

#include <cstdint>

namespace vemra {

// A colour as settings store it: an integer with red in the low byte, then
// green and blue; the top byte is 0.
using ColourValue = std::uint32_t;

constexpr ColourValue colourValue(int red, int green, int blue) {
    return static_cast<ColourValue>(red & 0xFF) | static_cast<ColourValue>(green & 0xFF) << 8 |
           static_cast<ColourValue>(blue & 0xFF) << 16;
}

// A stored integer as a colour: whatever a file holds in the top byte is dropped.
constexpr ColourValue colourFromSetting(int stored) {
    return static_cast<ColourValue>(stored) & 0xFFFFFF;
}

} // namespace vemra
