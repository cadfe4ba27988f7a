#include "imaging/pixel_access.h"
#include "imaging/scale_internal.h"

#include <vector>

namespace vemra::scaling {
namespace {

// Neighbours outside the picture read as this black pixel.
constexpr std::uint8_t kBlack[3] = {0, 0, 0};

// One axis position: the pixel the point falls in and the weight of the next
// pixel in 1/256 steps (negative left of zero, as the fraction is taken with
// the sign of the coordinate).
struct AxisPoint {
    int index = 0;
    int weight = 0;
};

AxisPoint axisPoint(double s) {
    const int i = pixels::truncToInt(s);
    return {i, pixels::truncToInt((s - i) * 256)};
}

// a + (b - a) * f / 256 with an arithmetic shift; the term vanishes when its
// weight is 0.
inline int blend(int a, int b, int f) {
    return f == 0 ? a : a + (((b - a) * f) >> 8);
}

const std::uint8_t* pixelAt(const std::uint8_t* row, int x, int width) {
    return row != nullptr && x >= 0 && x < width ? row + static_cast<std::ptrdiff_t>(x) * 3
                                                 : kBlack;
}

// The four neighbours of a source pixel: a, b on its row, c, d on the next.
struct Quad {
    const std::uint8_t* a = kBlack;
    const std::uint8_t* b = kBlack;
    const std::uint8_t* c = kBlack;
    const std::uint8_t* d = kBlack;

    void load(const std::uint8_t* row0, const std::uint8_t* row1, int ix, int width) {
        a = pixelAt(row0, ix, width);
        b = pixelAt(row0, ix + 1, width);
        c = pixelAt(row1, ix, width);
        d = pixelAt(row1, ix + 1, width);
    }

    // One channel of the blended pixel.
    int channel(int k, int fx, int fy) const {
        const int top = blend(a[k], b[k], fx);
        return fy == 0 ? top : blend(top, blend(c[k], d[k], fx), fy);
    }
};

// Enlargement without rotation: rows in storage order, the bottom row first,
// with y counted from the bottom in both pictures, so the row "after" a
// source row is the one above it. Positions run as sums of the steps.
void enlarge(const pixels::ConstRows& src, const pixels::MutableRows& dst, const Geometry& g) {
    std::vector<AxisPoint> columns(static_cast<std::size_t>(dst.width));
    double sx = g.left;
    for (auto& column : columns) {
        column = axisPoint(sx);
        sx += g.stepX;
    }
    auto storedRow = [&](int fromBottom) -> const std::uint8_t* {
        return fromBottom >= 0 && fromBottom < src.height ? src.row(src.height - 1 - fromBottom)
                                                          : nullptr;
    };
    double sy = g.top;
    for (int yb = 0; yb < dst.height; ++yb, sy += g.stepY) {
        const AxisPoint py = axisPoint(sy);
        const std::uint8_t* row0 = storedRow(py.index);
        const std::uint8_t* row1 = storedRow(py.index + 1);
        std::uint8_t* out = dst.row(dst.height - 1 - yb);
        Quad q;
        int loaded = -1;
        for (int x = 0; x < dst.width; ++x, out += 3) {
            const AxisPoint px = columns[static_cast<std::size_t>(x)];
            if (px.index != loaded) {
                q.load(row0, row1, px.index, src.width);
                loaded = px.index;
            }
            // The blend of values 0-255 with weights below 256 stays in 0-255.
            out[0] = static_cast<std::uint8_t>(q.channel(0, px.weight, py.weight));
            out[1] = static_cast<std::uint8_t>(q.channel(1, px.weight, py.weight));
            out[2] = static_cast<std::uint8_t>(q.channel(2, px.weight, py.weight));
        }
    }
}

bool outsideSource(const AxisPoint& px, const AxisPoint& py, int width, int height) {
    return px.index < -1 || px.index >= width || py.index < -1 || py.index >= height;
}

void writeClamped(std::uint8_t* out, const Quad& q, int fx, int fy) {
    out[0] = pixels::clampByte(q.channel(0, fx, fy));
    out[1] = pixels::clampByte(q.channel(1, fx, fy));
    out[2] = pixels::clampByte(q.channel(2, fx, fy));
}

// Reduction or rotation: every position from the geometry, y from the top.
void general(const pixels::ConstRows& src, const pixels::MutableRows& dst, const Geometry& g) {
    auto rowAt = [&](int y) -> const std::uint8_t* {
        return y >= 0 && y < src.height ? src.row(y) : nullptr;
    };
    if (!g.rotated) {
        std::vector<AxisPoint> columns(static_cast<std::size_t>(dst.width));
        for (int x = 0; x < dst.width; ++x) {
            columns[static_cast<std::size_t>(x)] = axisPoint(g.left + x * g.stepX);
        }
        for (int y = 0; y < dst.height; ++y) {
            const AxisPoint py = axisPoint(g.top + y * g.stepY);
            const std::uint8_t* row0 = rowAt(py.index);
            const std::uint8_t* row1 = rowAt(py.index + 1);
            std::uint8_t* out = dst.row(y);
            Quad q;
            int loaded = INT_MIN;
            for (int x = 0; x < dst.width; ++x, out += 3) {
                const AxisPoint px = columns[static_cast<std::size_t>(x)];
                if (outsideSource(px, py, src.width, src.height)) {
                    continue;
                }
                if (px.index != loaded) {
                    q.load(row0, row1, px.index, src.width);
                    loaded = px.index;
                }
                writeClamped(out, q, px.weight, py.weight);
            }
        }
        return;
    }
    for (int y = 0; y < dst.height; ++y) {
        const double pyBox = g.top + y * g.stepY;
        std::uint8_t* out = dst.row(y);
        Quad q;
        int loadedX = INT_MIN;
        int loadedY = INT_MIN;
        for (int x = 0; x < dst.width; ++x, out += 3) {
            double sx = 0;
            double sy = 0;
            g.toSource(g.left + x * g.stepX, pyBox, sx, sy);
            const AxisPoint px = axisPoint(sx);
            const AxisPoint py = axisPoint(sy);
            if (outsideSource(px, py, src.width, src.height)) {
                continue;
            }
            if (px.index != loadedX || py.index != loadedY) {
                q.load(rowAt(py.index), rowAt(py.index + 1), px.index, src.width);
                loadedX = px.index;
                loadedY = py.index;
            }
            writeClamped(out, q, px.weight, py.weight);
        }
    }
}

} // namespace

PictureBuffer scaleBilinear(const PictureBuffer& source, int destWidth, int destHeight,
                            double angle) {
    const auto src = pixels::rowsOf(source);
    if (!src || src->bits != 24) {
        return {};
    }
    PictureBuffer dest = pixels::createLike(source, destWidth, destHeight, 24);
    const auto dst = pixels::rowsOf(dest);
    if (!dst) {
        return {};
    }
    const Geometry g = geometryFor(src->width, src->height, destWidth, destHeight, angle);
    if (!g.rotated && g.stepX <= 1 && g.stepY <= 1) {
        enlarge(*src, *dst, g);
    } else {
        general(*src, *dst, g);
    }
    return dest;
}

} // namespace vemra::scaling
