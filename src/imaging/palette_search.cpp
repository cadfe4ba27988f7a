#include "imaging/palette_search.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace vemra {
namespace {

constexpr int kMaxSplits = 760;

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

    void measure(Cluster& c) const {
        double w = 0, mx = 0, my = 0, mz = 0;
        for (std::size_t i = c.begin; i < c.end; ++i) {
            const Member& m = m_members[i];
            w += m.weight;
            mx += m.weight * m.point.x;
            my += m.weight * m.point.y;
            mz += m.weight * m.point.z;
        }
        if (w <= 0) {
            c.score = 0;
            return;
        }
        c.mean = {mx / w, my / w, mz / w};
        double cov[3][3] = {};
        for (std::size_t i = c.begin; i < c.end; ++i) {
            const Member& m = m_members[i];
            const double d[3] = {m.point.x - c.mean.x, m.point.y - c.mean.y, m.point.z - c.mean.z};
            for (int a = 0; a < 3; ++a) {
                for (int b = a; b < 3; ++b) {
                    cov[a][b] += m.weight * d[a] * d[b];
                }
            }
        }
        for (int a = 0; a < 3; ++a) {
            for (int b = a; b < 3; ++b) {
                cov[a][b] /= w;
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
        double score = 0;
        for (std::size_t i = c.begin; i < c.end; ++i) {
            score += m_members[i].weight * distanceSquared(m_members[i].point, rounded);
        }
        c.score = score;
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
        const auto projection = [&c](const Member& m) {
            return (m.point.x - c.mean.x) * c.axis[0] + (m.point.y - c.mean.y) * c.axis[1] +
                   (m.point.z - c.mean.z) * c.axis[2];
        };
        // Sort by the projection on the principal axis, computed once per member.
        m_keyed.clear();
        for (auto it = first; it != last; ++it) {
            m_keyed.emplace_back(projection(*it), *it);
        }
        std::sort(m_keyed.begin(), m_keyed.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < n; ++i) {
            *(first + static_cast<std::ptrdiff_t>(i)) = m_keyed[i].second;
        }
        std::size_t at = 1;
        if (n > 2) {
            // Prefix sums about the cluster mean keep the arithmetic precise.
            double total[5] = {};
            for (auto it = first; it != last; ++it) {
                accumulate(total, *it, c.mean);
            }
            double left[5] = {};
            double best = INFINITY;
            at = 0;
            for (std::size_t k = 1; k < n; ++k) {
                accumulate(left, *(first + static_cast<std::ptrdiff_t>(k - 1)), c.mean);
                double rest[5];
                for (int i = 0; i < 5; ++i) {
                    rest[i] = total[i] - left[i];
                }
                const double error = squaredError(left) + squaredError(rest);
                if (left[0] > 0 && rest[0] > 0 && error < best) {
                    best = error;
                    at = k;
                }
            }
            if (at == 0) {
                return false;
            }
        }
        right.begin = c.begin + at;
        right.end = c.end;
        c.end = c.begin + at;
        measure(c);
        measure(right);
        return true;
    }

private:
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
