#include "imaging/unsharp.h"

#include "imaging/pixel_access.h"

#include <vector>

namespace vemra {
namespace {

// Stored rows of a picture in storage order; the kernel's rows are laid out
// in that order too.
template <typename Byte> struct StoredRows {
    Byte* base = nullptr;
    std::size_t rowBytes = 0;
    int width = 0;
    int height = 0;

    Byte* row(int s) const { return base + static_cast<std::size_t>(s) * rowBytes; }
};

template <typename Byte, typename Picture>
StoredRows<Byte> storedRows(Picture& picture, const DibLayout& l) {
    return {reinterpret_cast<Byte*>(picture.pixels().data()), l.rowBytes, l.width, l.height};
}

struct Tap {
    int dy = 0; // in storage rows
    int dx = 0;
    int weight = 0;
};

std::uint8_t sharpened(int value, std::int64_t sum, std::int64_t weights, double amount) {
    const std::int64_t mean = sum / (weights == 0 ? 1 : weights);
    const double push = amount * static_cast<double>(value - mean);
    const int moved = value + pixels::truncToInt(push);
    return pixels::clampByte(moved);
}

// Applies the taps to every pixel of `out` from the unchanged `in`. Inside
// the margin every tap hits the picture, so the sum of weights is known.
void applyTaps(const StoredRows<const std::uint8_t>& in, const StoredRows<std::uint8_t>& out,
               std::span<const Tap> taps, int margin, double amount) {
    std::int64_t fullWeight = 0;
    for (const Tap& t : taps) {
        fullWeight += t.weight;
    }
    for (int s = 0; s < in.height; ++s) {
        const std::uint8_t* centre = in.row(s);
        std::uint8_t* dest = out.row(s);
        const bool rowInside = s >= margin && s < in.height - margin;
        for (int x = 0; x < in.width; ++x) {
            const bool inside = rowInside && x >= margin && x < in.width - margin;
            std::int64_t sum[3] = {0, 0, 0};
            std::int64_t weights = inside ? fullWeight : 0;
            for (const Tap& t : taps) {
                const int nx = x + t.dx;
                const int ns = s + t.dy;
                if (!inside) {
                    if (nx < 0 || nx >= in.width || ns < 0 || ns >= in.height) {
                        continue;
                    }
                    weights += t.weight;
                }
                const std::uint8_t* p = in.row(ns) + static_cast<std::ptrdiff_t>(nx) * 3;
                sum[0] += static_cast<std::int64_t>(t.weight) * p[0];
                sum[1] += static_cast<std::int64_t>(t.weight) * p[1];
                sum[2] += static_cast<std::int64_t>(t.weight) * p[2];
            }
            const std::uint8_t* c = centre + static_cast<std::ptrdiff_t>(x) * 3;
            std::uint8_t* d = dest + static_cast<std::ptrdiff_t>(x) * 3;
            for (int k = 0; k < 3; ++k) {
                d[k] = sharpened(c[k], sum[k], weights, amount);
            }
        }
    }
}

PictureBuffer sharpen(const PictureBuffer& picture, std::span<const Tap> taps, int margin,
                      double amount) {
    PictureBuffer result = picture.duplicate();
    const auto l = picture.layout();
    if (!result || !l || l->bitCount != 24 || l->compression != Compression::None) {
        return result;
    }
    applyTaps(storedRows<const std::uint8_t>(picture, *l), storedRows<std::uint8_t>(result, *l),
              taps, margin, amount);
    return result;
}

} // namespace

PictureBuffer unsharp(const PictureBuffer& picture, double amount, int side,
                      std::span<const int> weights) {
    if (side < 1 || side > 5) {
        return picture.duplicate();
    }
    const int e = (side - 1) / 2;
    std::vector<Tap> taps;
    for (int k = 0; k <= 2 * e; ++k) {
        for (int m = 0; m <= 2 * e; ++m) {
            const auto index = static_cast<std::size_t>(k * side + m);
            const int w = index < weights.size() ? weights[index] : 0;
            if (w != 0) {
                taps.push_back({k - e, m - e, w});
            }
        }
    }
    return sharpen(picture, taps, e, amount);
}

PictureBuffer unsharpCross(const PictureBuffer& picture, double amount) {
    static constexpr Tap kCross[] = {{0, -1, 1}, {0, 1, 1}, {-1, 0, 1}, {1, 0, 1}};
    return sharpen(picture, kCross, 1, amount);
}

} // namespace vemra
