#pragma once

#include <array>
#include <cstdint>

namespace vemra {

// A point in the perceptual colour space the palette search works in: z is
// luma, x and y are stretched opponent-colour coordinates, all scaled so
// that squared Euclidean distance compares colours as the eye does.
struct ColourPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

inline double distanceSquared(const ColourPoint& a, const ColourPoint& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    const double dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Red in the low byte of the 24-bit value, as elsewhere.
using Rgb = std::uint32_t;

constexpr Rgb rgb(int r, int g, int b) {
    return static_cast<Rgb>(r) | static_cast<Rgb>(g) << 8 | static_cast<Rgb>(b) << 16;
}

class ColourSpace {
public:
    // Chroma stretches in hundredths (85, 105, 125 by default).
    explicit ColourSpace(std::array<int, 3> chroma = {85, 105, 125});

    ColourPoint toPoint(Rgb colour) const;
    // The nearest red-green-blue colour of a point, each channel clamped.
    Rgb toRgb(const ColourPoint& point) const;

private:
    std::array<double, 256> m_linear{}; // channel value -> linear light
    double m_forward[2][2];
    double m_inverse[2][2];
};

} // namespace vemra
