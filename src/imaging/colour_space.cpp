#include "imaging/colour_space.h"

#include <algorithm>
#include <cmath>

namespace vemra {
namespace {

constexpr double kScale = 4177920.0;

// Linearises a channel: a power curve with a matched low segment.
double linearise(int v) {
    const double u = v / 255.0;
    return u >= 0.11764705882352941 ? std::pow(u, 1.3636363636363635)
                                    : std::pow(u, 0.45454545454545453) * 0.14291364759577405;
}

double delinearise(double v) {
    v = std::clamp(v, 0.0, 1.0);
    return v >= 0.05402696305877764 ? std::pow(v, 0.7333333333333334)
                                    : std::pow(v * 6.997232362499507, 2.2);
}

// out = a * b for 2 x 2 matrices.
void multiply(const double a[2][2], const double b[2][2], double out[2][2]) {
    double r[2][2];
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j];
        }
    }
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            out[i][j] = r[i][j];
        }
    }
}

// I + (s - 1) v v^T with v the unit vector along (q, p).
void stretch(double s, double q, double p, double out[2][2]) {
    const double length = std::sqrt(q * q + p * p);
    const double v[2] = {q / length, p / length};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            out[i][j] = (i == j ? 1.0 : 0.0) + (s - 1.0) * v[i] * v[j];
        }
    }
}

} // namespace

ColourSpace::ColourSpace(std::array<int, 3> chroma) {
    for (int v = 0; v < 256; ++v) {
        m_linear[static_cast<std::size_t>(v)] = linearise(v);
    }
    double m1[2][2], m2[2][2], m3[2][2];
    stretch(chroma[0] * 0.01, 0.5, -0.0816, m1);
    stretch(chroma[1] * 0.01, 0.1687, -0.5, m2);
    stretch(chroma[2] * 0.01, 0.3312, 0.4183, m3);
    multiply(m2, m1, m_forward);
    multiply(m3, m_forward, m_forward);
    const double det = m_forward[0][0] * m_forward[1][1] - m_forward[0][1] * m_forward[1][0];
    if (det == 0) {
        m_forward[0][0] = m_forward[1][1] = 1;
        m_forward[0][1] = m_forward[1][0] = 0;
        m_inverse[0][0] = m_inverse[1][1] = 1;
        m_inverse[0][1] = m_inverse[1][0] = 0;
    } else {
        m_inverse[0][0] = m_forward[1][1] / det;
        m_inverse[0][1] = -m_forward[0][1] / det;
        m_inverse[1][0] = -m_forward[1][0] / det;
        m_inverse[1][1] = m_forward[0][0] / det;
    }
}

ColourPoint ColourSpace::toPoint(Rgb colour) const {
    const double r = m_linear[colour & 0xFF];
    const double g = m_linear[colour >> 8 & 0xFF];
    const double b = m_linear[colour >> 16 & 0xFF];
    const double p = 0.4 * r - 0.3346 * g - 0.0653 * b;
    const double q = 0.4 * b - (0.265 * g + 0.135 * r);
    ColourPoint point;
    point.z = std::floor((0.1145 * b + 0.2989 * r + 0.5866 * g) * kScale + 0.5);
    point.x = std::floor((m_forward[0][0] * q + m_forward[0][1] * p) * kScale + 0.5);
    point.y = std::floor((m_forward[1][0] * q + m_forward[1][1] * p) * kScale + 0.5);
    return point;
}

Rgb ColourSpace::toRgb(const ColourPoint& point) const {
    const double q = m_inverse[0][0] * point.x + m_inverse[0][1] * point.y;
    const double p = m_inverse[1][0] * point.x + m_inverse[1][1] * point.y;
    const double z = point.z;
    const double r =
        (1.7528659800326483 * p - 0.000044452970991771824 * q + 0.9998247134019967 * z) / kScale;
    const double g =
        (1.0000893144198046 * z - 0.893144198047259974 * p - 0.4320813565838843 * q) / kScale;
    const double b =
        (2.213731098385467 * q + 1.0000000115762946 * z - 0.00011576294529099052 * p) / kScale;
    const auto byte = [](double v) {
        return static_cast<int>(std::floor(255 * delinearise(v) + 0.5));
    };
    return rgb(byte(r), byte(g), byte(b));
}

} // namespace vemra
