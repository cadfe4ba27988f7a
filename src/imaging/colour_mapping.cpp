#include "imaging/colour_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace vemra {
namespace {

// Nearest palette point. Space is cut into a grid of cells; each cell keeps
// (built on first use) the few entries that can be nearest to any point in
// it, so a lookup compares a handful of entries instead of the palette.
class NearestEntry {
public:
    NearestEntry(std::span<const Rgb> palette, int skip, const ColourSpace& space) {
        for (std::size_t i = 0; i < palette.size(); ++i) {
            if (static_cast<int>(i) != skip) {
                m_entries.push_back({space.toPoint(palette[i]), static_cast<std::uint8_t>(i)});
            }
        }
        // Entries sorted by luma make the order of candidate lists stable.
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const Entry& a, const Entry& b) { return a.point.z < b.point.z; });
        for (const Entry& e : m_entries) {
            m_low = lower(m_low, e.point);
            m_high = upper(m_high, e.point);
        }
        // The grid spans every colour (the corners of the colour cube bound
        // the space) widened by the largest error that can be added.
        ColourPoint gridLow = m_low;
        ColourPoint gridHigh = m_high;
        for (int corner = 0; corner < 8; ++corner) {
            const ColourPoint p = space.toPoint(
                rgb(corner & 1 ? 255 : 0, corner & 2 ? 255 : 0, corner & 4 ? 255 : 0));
            gridLow = lower(gridLow, p);
            gridHigh = upper(gridHigh, p);
        }
        const ColourPoint e = extent();
        m_gridLow = {gridLow.x - e.x, gridLow.y - e.y, gridLow.z - e.z};
        const ColourPoint span{gridHigh.x + e.x - m_gridLow.x, gridHigh.y + e.y - m_gridLow.y,
                               gridHigh.z + e.z - m_gridLow.z};
        m_cellSize = {std::max(span.x / kCells, 1.0), std::max(span.y / kCells, 1.0),
                      std::max(span.z / kCells, 1.0)};
        m_cells.resize(kCells * kCells * kCells);
    }

    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }
    const ColourPoint& pointOf(std::size_t i) const { return m_entries[i].point; }
    std::uint8_t index(std::size_t i) const { return m_entries[i].index; }
    // The palette's extent along each coordinate.
    ColourPoint extent() const {
        return {m_high.x - m_low.x, m_high.y - m_low.y, m_high.z - m_low.z};
    }

    // Returns the position of the nearest entry (for pointOf and index).
    std::size_t find(const ColourPoint& p) {
        const int cx = cellOf(p.x, m_gridLow.x, m_cellSize.x);
        const int cy = cellOf(p.y, m_gridLow.y, m_cellSize.y);
        const int cz = cellOf(p.z, m_gridLow.z, m_cellSize.z);
        if (cx < 0 || cy < 0 || cz < 0) {
            return scan(p, nullptr);
        }
        auto& cell = m_cells[static_cast<std::size_t>((cz * kCells + cy) * kCells + cx)];
        if (cell.empty()) {
            build(cell, cx, cy, cz);
        }
        return scan(p, &cell);
    }

private:
    static constexpr int kCells = 40;

    struct Entry {
        ColourPoint point;
        std::uint8_t index;
    };

    static ColourPoint lower(const ColourPoint& a, const ColourPoint& b) {
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    }
    static ColourPoint upper(const ColourPoint& a, const ColourPoint& b) {
        return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
    }
    static int cellOf(double v, double low, double size) {
        const double c = std::floor((v - low) / size);
        return c >= 0 && c < kCells ? static_cast<int>(c) : -1;
    }

    std::size_t scan(const ColourPoint& p, const std::vector<std::uint8_t>* candidates) const {
        std::size_t best = 0;
        double bestDistance = INFINITY;
        const std::size_t n = candidates != nullptr ? candidates->size() : m_entries.size();
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = candidates != nullptr ? (*candidates)[k] : k;
            const double d = distanceSquared(m_entries[i].point, p);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return best;
    }

    // Keeps the entries whose nearest possible distance to the cell is not
    // beyond the smallest farthest distance of any entry: no other entry can
    // be nearest to a point inside the cell.
    void build(std::vector<std::uint8_t>& cell, int cx, int cy, int cz) const {
        const ColourPoint lo{m_gridLow.x + cx * m_cellSize.x, m_gridLow.y + cy * m_cellSize.y,
                             m_gridLow.z + cz * m_cellSize.z};
        const ColourPoint hi{lo.x + m_cellSize.x, lo.y + m_cellSize.y, lo.z + m_cellSize.z};
        const auto axisNear = [](double v, double a, double b) {
            return v < a ? a - v : v > b ? v - b : 0.0;
        };
        const auto axisFar = [](double v, double a, double b) { return std::max(v - a, b - v); };
        double limit = INFINITY;
        std::vector<double> nearest(m_entries.size());
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            const ColourPoint& q = m_entries[i].point;
            const double fx = axisFar(q.x, lo.x, hi.x);
            const double fy = axisFar(q.y, lo.y, hi.y);
            const double fz = axisFar(q.z, lo.z, hi.z);
            limit = std::min(limit, fx * fx + fy * fy + fz * fz);
            const double nx = axisNear(q.x, lo.x, hi.x);
            const double ny = axisNear(q.y, lo.y, hi.y);
            const double nz = axisNear(q.z, lo.z, hi.z);
            nearest[i] = nx * nx + ny * ny + nz * nz;
        }
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (nearest[i] <= limit) {
                cell.push_back(static_cast<std::uint8_t>(i));
            }
        }
    }

    std::vector<Entry> m_entries;
    ColourPoint m_low{INFINITY, INFINITY, INFINITY};
    ColourPoint m_high{-INFINITY, -INFINITY, -INFINITY};
    ColourPoint m_gridLow;
    ColourPoint m_cellSize;
    std::vector<std::vector<std::uint8_t>> m_cells;
};

ColourPoint clampTo(const ColourPoint& e, const ColourPoint& extent) {
    return {std::clamp(e.x, -extent.x, extent.x), std::clamp(e.y, -extent.y, extent.y),
            std::clamp(e.z, -extent.z, extent.z)};
}

struct Tap {
    int dx; // steps along the current direction (negative = behind)
    int dy; // rows back
    int weight;
};

constexpr Tap kFloydSteinberg[] = {{-1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr Tap kJarvisJudiceNinke[] = {{-1, 0, 7}, {-2, 0, 5}, {-2, 1, 3}, {-1, 1, 5},
                                      {0, 1, 7},  {1, 1, 5},  {2, 1, 3},  {-2, 2, 1},
                                      {-1, 2, 3}, {0, 2, 5},  {1, 2, 3},  {2, 2, 1}};

class Mapper {
public:
    Mapper(const MappingJob& job, const ColourSpace& space,
           const std::function<bool(int)>& progress)
        : m_job(job), m_space(space), m_progress(progress),
          m_nearest(job.palette, job.transparentEntry, space), m_extent(m_nearest.extent()),
          m_out(static_cast<std::size_t>(job.width) * static_cast<std::size_t>(job.height)) {}

    std::optional<std::vector<std::uint8_t>> run() {
        if (m_nearest.empty()) {
            std::fill(m_out.begin(), m_out.end(),
                      static_cast<std::uint8_t>(std::max(m_job.transparentEntry, 0)));
            return std::move(m_out);
        }
        bool ok = true;
        switch (m_job.mode) {
        case MappingMode::Nearest:
            ok = diffuse({}, 1);
            break;
        case MappingMode::FloydSteinberg:
            ok = diffuse(kFloydSteinberg, 160);
            break;
        case MappingMode::JarvisJudiceNinke:
            ok = diffuse(kJarvisJudiceNinke, 480);
            break;
        case MappingMode::SpaceFilling:
            ok = spaceFilling();
            break;
        case MappingMode::Ordered:
            ok = ordered();
            break;
        }
        if (!ok) {
            return std::nullopt;
        }
        return std::move(m_out);
    }

private:
    Rgb pixel(int x, int y) const {
        return m_job.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_job.width) +
                            static_cast<std::size_t>(x)];
    }
    std::uint8_t& out(int x, int y) {
        return m_out[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_job.width) +
                     static_cast<std::size_t>(x)];
    }
    bool transparent(Rgb c) const {
        return m_job.transparentEntry >= 0 && c == m_job.transparentColour;
    }
    bool report(int y) { return m_progress(800 + static_cast<int>(200LL * y / m_job.height)); }

    // Row-by-row error diffusion, serpentine, gathering the stored errors of
    // already mapped neighbours with the given taps.
    bool diffuse(std::span<const Tap> taps, int divisor) {
        const int w = m_job.width;
        const int rowsBack = 3;
        std::vector<std::vector<ColourPoint>> errors(
            rowsBack, std::vector<ColourPoint>(static_cast<std::size_t>(w)));
        for (int y = 0; y < m_job.height; ++y) {
            if (!report(y)) {
                return false;
            }
            auto& current = errors[static_cast<std::size_t>(y % rowsBack)];
            std::fill(current.begin(), current.end(), ColourPoint{});
            const int dir = y % 2 == 0 ? 1 : -1;
            for (int i = 0; i < w; ++i) {
                const int x = dir > 0 ? i : w - 1 - i;
                const Rgb c = pixel(x, y);
                if (transparent(c)) {
                    out(x, y) = static_cast<std::uint8_t>(m_job.transparentEntry);
                    continue;
                }
                ColourPoint gathered{};
                for (const Tap& t : taps) {
                    const int sx = x + t.dx * dir;
                    const int sy = y - t.dy;
                    if (sx < 0 || sx >= w || sy < 0) {
                        continue;
                    }
                    const ColourPoint& e = errors[static_cast<std::size_t>(sy % rowsBack)]
                                                 [static_cast<std::size_t>(sx)];
                    gathered.x += t.weight * e.x;
                    gathered.y += t.weight * e.y;
                    gathered.z += t.weight * e.z;
                }
                gathered = clampTo(
                    {gathered.x / divisor, gathered.y / divisor, gathered.z / divisor}, m_extent);
                const ColourPoint p = m_space.toPoint(c);
                const ColourPoint wanted{p.x + gathered.x, p.y + gathered.y, p.z + gathered.z};
                const std::size_t chosen = m_nearest.find(wanted);
                out(x, y) = m_nearest.index(chosen);
                if (!taps.empty()) {
                    const ColourPoint& q = m_nearest.pointOf(chosen);
                    const double s = m_job.strength;
                    current[static_cast<std::size_t>(x)] = {
                        (wanted.x - q.x) * s, (wanted.y - q.y) * s, (wanted.z - q.z) * s};
                }
            }
        }
        return true;
    }

    // Error carried from pixel to pixel along a Hilbert curve, which keeps
    // the carried error local in both directions.
    bool spaceFilling() {
        int side = 1;
        while (side < m_job.width || side < m_job.height) {
            side *= 2;
        }
        const long long total = static_cast<long long>(side) * side;
        ColourPoint carried{};
        const double factor = m_job.strength / 10.0;
        long long done = 0;
        const long long pixels = static_cast<long long>(m_job.width) * m_job.height;
        for (long long d = 0; d < total; ++d) {
            int x = 0;
            int y = 0;
            hilbertPoint(side, d, x, y);
            if (x >= m_job.width || y >= m_job.height) {
                continue;
            }
            if (++done % 65536 == 0 && !m_progress(800 + static_cast<int>(200 * done / pixels))) {
                return false;
            }
            const Rgb c = pixel(x, y);
            if (transparent(c)) {
                out(x, y) = static_cast<std::uint8_t>(m_job.transparentEntry);
                continue;
            }
            const ColourPoint p = m_space.toPoint(c);
            const ColourPoint wanted = {p.x + carried.x, p.y + carried.y, p.z + carried.z};
            const std::size_t chosen = m_nearest.find(wanted);
            out(x, y) = m_nearest.index(chosen);
            const ColourPoint& q = m_nearest.pointOf(chosen);
            carried = clampTo(
                {(wanted.x - q.x) * factor, (wanted.y - q.y) * factor, (wanted.z - q.z) * factor},
                m_extent);
        }
        return true;
    }

    static void hilbertPoint(int side, long long d, int& x, int& y) {
        long long t = d;
        x = 0;
        y = 0;
        for (int s = 1; s < side; s *= 2) {
            const int rx = static_cast<int>(1 & (t / 2));
            const int ry = static_cast<int>(1 & (t ^ rx));
            if (ry == 0) {
                if (rx == 1) {
                    x = s - 1 - x;
                    y = s - 1 - y;
                }
                std::swap(x, y);
            }
            x += s * rx;
            y += s * ry;
            t /= 4;
        }
    }

    // Ordered dithering: each colour gets 16 candidate entries whose mean
    // approaches it, ordered by luma; the 4 x 4 pattern picks one per pixel.
    bool ordered() {
        static constexpr std::array<int, 16> kPattern = {0, 8,  2, 10, 12, 4, 14, 6,
                                                         3, 11, 1, 9,  15, 7, 13, 5};
        std::unordered_map<Rgb, std::array<std::uint8_t, 16>> cache;
        for (int y = 0; y < m_job.height; ++y) {
            if (!report(y)) {
                return false;
            }
            for (int x = 0; x < m_job.width; ++x) {
                const Rgb c = pixel(x, y);
                if (transparent(c)) {
                    out(x, y) = static_cast<std::uint8_t>(m_job.transparentEntry);
                    continue;
                }
                // Candidates are shared by colours that agree in their top 5 bits.
                const Rgb key = c & 0xF8F8F8;
                auto found = cache.find(key);
                if (found == cache.end()) {
                    found = cache.emplace(key, candidates(c)).first;
                }
                out(x, y) = found->second[static_cast<std::size_t>(
                    kPattern[static_cast<std::size_t>((y % 4) * 4 + x % 4)])];
            }
        }
        return true;
    }

    std::array<std::uint8_t, 16> candidates(Rgb colour) const {
        const ColourPoint target = m_space.toPoint(colour);
        std::array<std::size_t, 16> chosen{};
        ColourPoint sum{};
        for (int i = 0; i < 16; ++i) {
            const double n = i + 1;
            std::size_t best = 0;
            double bestDistance = INFINITY;
            for (std::size_t e = 0; e < m_nearest.size(); ++e) {
                const ColourPoint& q = m_nearest.pointOf(e);
                const ColourPoint mean{(sum.x + q.x) / n, (sum.y + q.y) / n, (sum.z + q.z) / n};
                const double d = distanceSquared(mean, target);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = e;
                }
            }
            chosen[static_cast<std::size_t>(i)] = best;
            const ColourPoint& q = m_nearest.pointOf(best);
            sum = {sum.x + q.x, sum.y + q.y, sum.z + q.z};
        }
        // Sorted positions are in luma order, so sorting them orders by luma.
        std::sort(chosen.begin(), chosen.end());
        std::array<std::uint8_t, 16> result{};
        for (std::size_t i = 0; i < 16; ++i) {
            result[i] = m_nearest.index(chosen[i]);
        }
        return result;
    }

    const MappingJob& m_job;
    const ColourSpace& m_space;
    const std::function<bool(int)>& m_progress;
    NearestEntry m_nearest;
    ColourPoint m_extent;
    std::vector<std::uint8_t> m_out;
};

} // namespace

std::optional<std::vector<std::uint8_t>> mapToPalette(const MappingJob& job,
                                                      const ColourSpace& space,
                                                      const std::function<bool(int)>& progress) {
    return Mapper(job, space, progress).run();
}

} // namespace vemra
