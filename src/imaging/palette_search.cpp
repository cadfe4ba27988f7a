#include "imaging/palette_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace vemra {
namespace {

constexpr int kMaxSplits = 760;
// Clusters larger than this split over binned projections.
constexpr std::size_t kExactLimit = 8192;
constexpr int kBins = 4096;

struct Member {
    ColourPoint point;
    double weight;
};

struct Cluster {
    std::size_t begin = 0;
    std::size_t end = 0;
    ColourPoint mean;
    double axis[3] = {1, 0, 0}; // eigenvector of the largest eigenvalue
    Rgb representative = 0;
    double score = 0;
};

class Search {
public:
    Search(std::span<const WeightedColour> colours, const ColourSpace& space) : m_space(space) {
        m_members.reserve(colours.size());
        for (const WeightedColour& c : colours) {
            m_members.push_back({space.toPoint(c.colour), static_cast<double>(c.weight)});
        }
    }

    // Mean, covariance, principal axis, representative and score of a
    // cluster in one pass: sums are taken about the first member, which keeps
    // them small, and the score follows from the covariance.
    void measure(Cluster& c) const {
        if (c.end <= c.begin) {
            c.score = 0;
            return;
        }
        const ColourPoint origin = m_members[c.begin].point;
        double w = 0;
        double s[3] = {};
        double ss[3][3] = {};
        for (std::size_t i = c.begin; i < c.end; ++i) {
            const Member& m = m_members[i];
            const double d[3] = {m.point.x - origin.x, m.point.y - origin.y, m.point.z - origin.z};
            w += m.weight;
            for (int a = 0; a < 3; ++a) {
                s[a] += m.weight * d[a];
                for (int b = a; b < 3; ++b) {
                    ss[a][b] += m.weight * d[a] * d[b];
                }
            }
        }
        if (w <= 0) {
            c.score = 0;
            return;
        }
        const double mean[3] = {s[0] / w, s[1] / w, s[2] / w};
        c.mean = {origin.x + mean[0], origin.y + mean[1], origin.z + mean[2]};
        double cov[3][3];
        for (int a = 0; a < 3; ++a) {
            for (int b = a; b < 3; ++b) {
                cov[a][b] = ss[a][b] / w - mean[a] * mean[b];
                cov[b][a] = cov[a][b];
            }
        }
        double values[3];
        double vectors[3][3];
        jacobiEigen(cov, values, vectors);
        const int largest = values[0] >= values[1] && values[0] >= values[2] ? 0
                            : values[1] >= values[2]                         ? 1
                                                                             : 2;
        for (int a = 0; a < 3; ++a) {
            c.axis[a] = vectors[a][largest];
        }
        const ColourPoint rounded{std::floor(c.mean.x + 0.5), std::floor(c.mean.y + 0.5),
                                  std::floor(c.mean.z + 0.5)};
        c.representative = m_space.toRgb(rounded);
        // Sum of w |p - r|^2 = W trace(cov) + W |mean - r|^2.
        const double spread = std::max(cov[0][0] + cov[1][1] + cov[2][2], 0.0);
        c.score = w * (spread + distanceSquared(c.mean, rounded));
        if (c.end - c.begin == 1) {
            c.score = w * distanceSquared(m_members[c.begin].point, rounded);
        }
    }

    // Splits `c` into itself (left part) and the returned right part; false
    // when it has no valid split position.
    bool split(Cluster& c, Cluster& right) {
        const std::size_t n = c.end - c.begin;
        if (n < 2) {
            return false;
        }
        auto first = m_members.begin() + static_cast<std::ptrdiff_t>(c.begin);
        auto last = m_members.begin() + static_cast<std::ptrdiff_t>(c.end);
        std::size_t at = n > kExactLimit ? binnedSplit(c, first, last) : 0;
        if (at == 0) {
            at = exactSplit(c, first, last);
        }
        if (at == 0) {
            return false;
        }
        right.begin = c.begin + at;
        right.end = c.end;
        c.end = c.begin + at;
        measure(c);
        measure(right);
        return true;
    }

private:
    using Iterator = std::vector<Member>::iterator;

    double projection(const Cluster& c, const Member& m) const {
        return (m.point.x - c.mean.x) * c.axis[0] + (m.point.y - c.mean.y) * c.axis[1] +
               (m.point.z - c.mean.z) * c.axis[2];
    }

    // Sorts the members by their projection on the principal axis and
    // returns the split position with the least summed squared error of the
    // two parts; 0 when there is none.
    std::size_t exactSplit(const Cluster& c, Iterator first, Iterator last) {
        const std::size_t n = static_cast<std::size_t>(last - first);
        m_keyed.clear();
        for (auto it = first; it != last; ++it) {
            m_keyed.emplace_back(projection(c, *it), *it);
        }
        std::sort(m_keyed.begin(), m_keyed.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < n; ++i) {
            *(first + static_cast<std::ptrdiff_t>(i)) = m_keyed[i].second;
        }
        if (n == 2) {
            return 1;
        }
        double total[5] = {};
        for (auto it = first; it != last; ++it) {
            accumulate(total, *it, c.mean);
        }
        double left[5] = {};
        double best = INFINITY;
        std::size_t at = 0;
        for (std::size_t k = 1; k < n; ++k) {
            accumulate(left, *(first + static_cast<std::ptrdiff_t>(k - 1)), c.mean);
            const double error = splitError(left, total);
            if (error < best) {
                best = error;
                at = k;
            }
        }
        return at;
    }

    // For large clusters: the same search over 4096 bins of the projection,
    // then one partition pass, so a split costs linear time.
    std::size_t binnedSplit(const Cluster& c, Iterator first, Iterator last) {
        double lo = INFINITY;
        double hi = -INFINITY;
        for (auto it = first; it != last; ++it) {
            const double t = projection(c, *it);
            lo = std::min(lo, t);
            hi = std::max(hi, t);
        }
        if (!(hi > lo)) {
            return 0;
        }
        const double scale = (kBins - 1) / (hi - lo);
        std::vector<std::array<double, 5>> bins(kBins);
        double total[5] = {};
        for (auto it = first; it != last; ++it) {
            auto& bin = bins[static_cast<std::size_t>((projection(c, *it) - lo) * scale)];
            accumulate(bin.data(), *it, c.mean);
            accumulate(total, *it, c.mean);
        }
        double left[5] = {};
        double best = INFINITY;
        int cut = -1;
        for (int b = 0; b + 1 < kBins; ++b) {
            for (int i = 0; i < 5; ++i) {
                left[i] += bins[static_cast<std::size_t>(b)][static_cast<std::size_t>(i)];
            }
            const double error = splitError(left, total);
            if (error < best) {
                best = error;
                cut = b;
            }
        }
        if (cut < 0) {
            return 0;
        }
        const auto middle = std::partition(first, last, [&](const Member& m) {
            return static_cast<int>((projection(c, m) - lo) * scale) <= cut;
        });
        const auto at = static_cast<std::size_t>(middle - first);
        return at == 0 || middle == last ? 0 : at;
    }

    // The summed squared error of a split into `left` and the rest, or
    // infinity when either part is empty.
    static double splitError(const double left[5], const double total[5]) {
        double rest[5];
        for (int i = 0; i < 5; ++i) {
            rest[i] = total[i] - left[i];
        }
        if (left[0] <= 0 || rest[0] <= 0) {
            return INFINITY;
        }
        return squaredError(left) + squaredError(rest);
    }

    // total[0] = weight, [1..3] = weighted sums, [4] = weighted sum of squares.
    static void accumulate(double total[5], const Member& m, const ColourPoint& origin) {
        const double x = m.point.x - origin.x;
        const double y = m.point.y - origin.y;
        const double z = m.point.z - origin.z;
        total[0] += m.weight;
        total[1] += m.weight * x;
        total[2] += m.weight * y;
        total[3] += m.weight * z;
        total[4] += m.weight * (x * x + y * y + z * z);
    }
    static double squaredError(const double s[5]) {
        if (s[0] <= 0) {
            return 0;
        }
        return s[4] - (s[1] * s[1] + s[2] * s[2] + s[3] * s[3]) / s[0];
    }

    const ColourSpace& m_space;
    std::vector<Member> m_members;
    std::vector<std::pair<double, Member>> m_keyed;

public:
    std::size_t size() const { return m_members.size(); }
};

} // namespace

void jacobiEigen(const double matrix[3][3], double values[3], double vectors[3][3]) {
    double a[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            a[i][j] = matrix[i][j];
            vectors[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    for (int sweep = 0; sweep < 10; ++sweep) {
        const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off < 1e-16) {
            break;
        }
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (std::fabs(a[p][q]) < 1e-16) {
                    continue;
                }
                const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double cs = 1 / std::sqrt(t * t + 1);
                const double sn = t * cs;
                for (int k = 0; k < 3; ++k) {
                    const double akp = a[k][p];
                    const double akq = a[k][q];
                    a[k][p] = cs * akp - sn * akq;
                    a[k][q] = sn * akp + cs * akq;
                }
                for (int k = 0; k < 3; ++k) {
                    const double apk = a[p][k];
                    const double aqk = a[q][k];
                    a[p][k] = cs * apk - sn * aqk;
                    a[q][k] = sn * apk + cs * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = vectors[k][p];
                    const double vkq = vectors[k][q];
                    vectors[k][p] = cs * vkp - sn * vkq;
                    vectors[k][q] = sn * vkp + cs * vkq;
                }
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        values[i] = a[i][i];
    }
}

std::optional<std::vector<Rgb>> searchPalette(std::span<const WeightedColour> colours,
                                              const ColourSpace& space, int target,
                                              const std::function<bool(int)>& progress) {
    std::vector<Rgb> result;
    if (colours.empty() || target <= 0) {
        return result;
    }
    if (!progress(425)) {
        return std::nullopt;
    }
    Search search(colours, space);
    std::vector<Cluster> clusters(1);
    clusters[0].end = search.size();
    search.measure(clusters[0]);
    std::map<Rgb, int> representatives{{clusters[0].representative, 1}};
    for (int splits = 0; splits < kMaxSplits; ++splits) {
        if (static_cast<int>(representatives.size()) >= target) {
            break;
        }
        auto worst =
            std::max_element(clusters.begin(), clusters.end(),
                             [](const Cluster& a, const Cluster& b) { return a.score < b.score; });
        if (worst->score <= 0) {
            break;
        }
        const Rgb before = worst->representative;
        Cluster right;
        if (!search.split(*worst, right)) {
            worst->score = 0;
            continue;
        }
        if (--representatives[before] == 0) {
            representatives.erase(before);
        }
        ++representatives[worst->representative];
        ++representatives[right.representative];
        clusters.push_back(right);
        const double k = static_cast<double>(representatives.size());
        const double found = std::min(1.0, k / target);
        if (!progress(450 + static_cast<int>(350 * ((1 - 1 / std::sqrt(k)) * 0.5 + found * 0.5)))) {
            return std::nullopt;
        }
    }
    for (const auto& entry : representatives) {
        result.push_back(entry.first);
    }
    if (static_cast<int>(result.size()) > target) {
        result.resize(static_cast<std::size_t>(target));
    }
    return result;
}

} // namespace vemra
