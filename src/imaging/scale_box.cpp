#include "imaging/pixel_access.h"
#include "imaging/scale_internal.h"

#include <algorithm>
#include <vector>

namespace vemra::scaling {
namespace {

// The sample positions of one destination box along one axis: the box starts
// half a step before the mapped point and is sampled every `inc` (a third of
// the step, at most 1) for as long as the offset stays below the step. The
// offset is k * inc, not a running sum, so a box of step 2 gets exactly three
// samples.
template <typename Visit> void forEachSample(double start, double step, Visit visit) {
    const double inc = std::min(step / 3, 1.0);
    for (int k = 0; k * inc < step; ++k) {
        visit(start + k * inc);
    }
}

// Per destination column (or row), the source columns (rows) its samples
// hit, samples outside the picture left out and repeated hits kept, as each
// sample counts once in the average.
struct SampleLists {
    std::vector<std::size_t> begin; // list i is indices[begin[i], begin[i + 1])
    std::vector<int> indices;
    std::size_t longest = 0;

    std::size_t size(std::size_t i) const { return begin[i + 1] - begin[i]; }
    const int* list(std::size_t i) const { return indices.data() + begin[i]; }
};

SampleLists sampleLists(int destSize, int origin, double step, int sourceSize) {
    SampleLists s;
    s.begin.reserve(static_cast<std::size_t>(destSize) + 1);
    for (int d = 0; d < destSize; ++d) {
        s.begin.push_back(s.indices.size());
        forEachSample(origin + d * step - step / 2, step, [&](double p) {
            const int i = pixels::truncToInt(p);
            if (i >= 0 && i < sourceSize) {
                s.indices.push_back(i);
            }
        });
        s.longest = std::max(s.longest, s.indices.size() - s.begin.back());
    }
    s.begin.push_back(s.indices.size());
    return s;
}

// A source row as blue, green, red bytes: the row itself for 24 bits, the
// colour-table values for palette pictures.
class RowReader {
public:
    RowReader(const PictureBuffer& picture, const pixels::ConstRows& rows)
        : m_rows(rows), m_palette(pixels::paletteOf(picture)) {
        if (rows.bits != 24) {
            m_expanded.resize(static_cast<std::size_t>(rows.width) * 3);
        }
    }

    const std::uint8_t* operator()(int y) {
        const std::uint8_t* row = m_rows.row(y);
        if (m_rows.bits == 24) {
            return row;
        }
        std::uint8_t* out = m_expanded.data();
        for (int x = 0; x < m_rows.width; ++x, out += 3) {
            const pixels::Bgr c = m_palette[pixels::readIndex(row, x, m_rows.bits)];
            out[0] = c.b;
            out[1] = c.g;
            out[2] = c.r;
        }
        return m_expanded.data();
    }

private:
    pixels::ConstRows m_rows;
    pixels::PaletteBgr m_palette;
    std::vector<std::uint8_t> m_expanded;
};

// Kept apart so the compiler sees that the sums and the row do not overlap
// and can vectorise the widening additions.
template <typename Sum>
void addRow(Sum* __restrict sums, const std::uint8_t* __restrict row, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        sums[i] += row[i];
    }
}

// Without rotation the box is separable: per destination row the sampled
// source rows are summed column by column once, then every destination pixel
// adds up its sampled columns of those sums.
template <typename Sum>
void averageUnrotated(RowReader& read, const pixels::ConstRows& src, const pixels::MutableRows& dst,
                      const SampleLists& rows, const SampleLists& columns) {
    const std::size_t values = static_cast<std::size_t>(src.width) * 3;
    std::vector<Sum> sums(values);
    for (int y = 0; y < dst.height; ++y) {
        const auto uy = static_cast<std::size_t>(y);
        const std::size_t rowCount = rows.size(uy);
        std::uint8_t* out = dst.row(y);
        if (rowCount == 0) {
            continue; // no sample inside the picture: black
        }
        std::fill(sums.begin(), sums.end(), Sum{0});
        const int* rowList = rows.list(uy);
        for (std::size_t r = 0; r < rowCount; ++r) {
            addRow(sums.data(), read(rowList[r]), values);
        }
        for (int x = 0; x < dst.width; ++x, out += 3) {
            const auto ux = static_cast<std::size_t>(x);
            const std::size_t columnCount = columns.size(ux);
            if (columnCount == 0) {
                continue;
            }
            const int* columnList = columns.list(ux);
            Sum b = 0;
            Sum g = 0;
            Sum r = 0;
            for (std::size_t c = 0; c < columnCount; ++c) {
                const Sum* s = sums.data() + static_cast<std::size_t>(columnList[c]) * 3;
                b += s[0];
                g += s[1];
                r += s[2];
            }
            const Sum n = static_cast<Sum>(rowCount * columnCount);
            out[0] = static_cast<std::uint8_t>(b / n);
            out[1] = static_cast<std::uint8_t>(g / n);
            out[2] = static_cast<std::uint8_t>(r / n);
        }
    }
}

// With rotation every sample point of the box is rotated back into the
// source before it is truncated to a pixel.
void averageRotated(const PictureBuffer& picture, const pixels::ConstRows& src,
                    const pixels::MutableRows& dst, const Geometry& g) {
    const pixels::PaletteBgr palette = pixels::paletteOf(picture);
    std::vector<double> xs;
    std::vector<double> ys;
    for (int y = 0; y < dst.height; ++y) {
        ys.clear();
        forEachSample(g.top + y * g.stepY - g.stepY / 2, g.stepY,
                      [&](double p) { ys.push_back(p); });
        std::uint8_t* out = dst.row(y);
        for (int x = 0; x < dst.width; ++x, out += 3) {
            xs.clear();
            forEachSample(g.left + x * g.stepX - g.stepX / 2, g.stepX,
                          [&](double p) { xs.push_back(p); });
            std::uint64_t b = 0;
            std::uint64_t gr = 0;
            std::uint64_t r = 0;
            std::uint64_t n = 0;
            for (const double py : ys) {
                for (const double px : xs) {
                    double sx = 0;
                    double sy = 0;
                    g.toSource(px, py, sx, sy);
                    const int ix = pixels::truncToInt(sx);
                    const int iy = pixels::truncToInt(sy);
                    if (ix < 0 || ix >= src.width || iy < 0 || iy >= src.height) {
                        continue;
                    }
                    const std::uint8_t* row = src.row(iy);
                    pixels::Bgr c;
                    if (src.bits == 24) {
                        const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(ix) * 3;
                        c = {p[0], p[1], p[2]};
                    } else {
                        c = palette[pixels::readIndex(row, ix, src.bits)];
                    }
                    b += c.b;
                    gr += c.g;
                    r += c.r;
                    ++n;
                }
            }
            if (n != 0) {
                out[0] = static_cast<std::uint8_t>(b / n);
                out[1] = static_cast<std::uint8_t>(gr / n);
                out[2] = static_cast<std::uint8_t>(r / n);
            }
        }
    }
}

} // namespace

PictureBuffer scaleBox(const PictureBuffer& source, int destWidth, int destHeight, double angle) {
    const auto src = pixels::rowsOf(source);
    if (!src || (src->bits != 24 && !pixels::isIndexedDepth(src->bits))) {
        return {};
    }
    PictureBuffer dest = pixels::createLike(source, destWidth, destHeight, 24);
    const auto dst = pixels::rowsOf(dest);
    if (!dst) {
        return {};
    }
    const Geometry g = geometryFor(src->width, src->height, destWidth, destHeight, angle);
    if (g.rotated) {
        averageRotated(source, *src, *dst, g);
        return dest;
    }
    const SampleLists rows = sampleLists(destHeight, g.top, g.stepY, src->height);
    const SampleLists columns = sampleLists(destWidth, g.left, g.stepX, src->width);
    RowReader read(source, *src);
    // 32-bit sums are enough unless a box holds more than 2^32 / 255 samples.
    if (static_cast<double>(rows.longest) * static_cast<double>(columns.longest) * 255 <
        4294967295.0) {
        averageUnrotated<std::uint32_t>(read, *src, *dst, rows, columns);
    } else {
        averageUnrotated<std::uint64_t>(read, *src, *dst, rows, columns);
    }
    return dest;
}

} // namespace vemra::scaling
