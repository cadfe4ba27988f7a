#include "imaging/pixel_access.h"
#include "imaging/scale_internal.h"

#include <vector>

namespace vemra::scaling {
namespace {

// The source pixel nearest to coordinate `s` along an axis of `size` pixels,
// or -1 outside. Rounding half up would push points of the last half pixel
// (every enlargement by 2 or more has some) just past the edge, which would
// paint a black last column or row; such points take the last pixel.
int nearestIndex(double s, int size) {
    int i = pixels::truncToInt(s + 0.5);
    if (i == size && s < size) {
        i = size - 1;
    }
    return i >= 0 && i < size ? i : -1;
}

template <int Bits>
void scaleRows(const pixels::ConstRows& src, const pixels::MutableRows& dst, const Geometry& g) {
    if (!g.rotated) {
        // Without rotation the column of every destination pixel is the same
        // in every row: work it out once.
        std::vector<int> columns(static_cast<std::size_t>(dst.width));
        for (int x = 0; x < dst.width; ++x) {
            columns[static_cast<std::size_t>(x)] = nearestIndex(g.left + x * g.stepX, src.width);
        }
        for (int y = 0; y < dst.height; ++y) {
            const int iy = nearestIndex(g.top + y * g.stepY, src.height);
            if (iy < 0) {
                continue; // the blank row is already black
            }
            const std::uint8_t* from = src.row(iy);
            std::uint8_t* to = dst.row(y);
            for (int x = 0; x < dst.width; ++x) {
                const int ix = columns[static_cast<std::size_t>(x)];
                if (ix >= 0) {
                    pixels::copyPixel<Bits>(from, ix, to, x);
                }
            }
        }
        return;
    }
    for (int y = 0; y < dst.height; ++y) {
        std::uint8_t* to = dst.row(y);
        const double py = g.top + y * g.stepY;
        for (int x = 0; x < dst.width; ++x) {
            double sx = 0;
            double sy = 0;
            g.toSource(g.left + x * g.stepX, py, sx, sy);
            const int ix = nearestIndex(sx, src.width);
            const int iy = nearestIndex(sy, src.height);
            if (ix >= 0 && iy >= 0) {
                pixels::copyPixel<Bits>(src.row(iy), ix, to, x);
            }
        }
    }
}

} // namespace

PictureBuffer scaleNearest(const PictureBuffer& source, int destWidth, int destHeight,
                           double angle) {
    const auto src = pixels::rowsOf(source);
    if (!src) {
        return {};
    }
    PictureBuffer dest = pixels::createLike(source, destWidth, destHeight, src->bits);
    const auto dst = pixels::rowsOf(dest);
    if (!dst) {
        return {};
    }
    const Geometry g = geometryFor(src->width, src->height, destWidth, destHeight, angle);
    switch (src->bits) {
    case 24:
        scaleRows<24>(*src, *dst, g);
        break;
    case 8:
        scaleRows<8>(*src, *dst, g);
        break;
    case 4:
        scaleRows<4>(*src, *dst, g);
        break;
    case 1:
        scaleRows<1>(*src, *dst, g);
        break;
    default:
        return {};
    }
    return dest;
}

} // namespace vemra::scaling
