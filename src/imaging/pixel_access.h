#pragma once

#include "imaging/picture_buffer.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>

// Small helpers shared by the pixel loops of scaling, rotation, sharpening and
// colour reduction. They address rows through one pointer and one stride
// computed per picture, so the inner loops neither re-check the header nor
// call through PictureBuffer per pixel.
namespace vemra::pixels {

// Rows of an uncompressed picture, counted from the top whichever way they are
// stored. `Byte` is std::uint8_t or const std::uint8_t. The table borrows the
// picture's block: it lives no longer than the picture and its block size.
template <typename Byte> struct Rows {
    Byte* top = nullptr;       // first byte of the top row
    std::ptrdiff_t stride = 0; // from one row to the one below (negative bottom-up)
    std::size_t rowBytes = 0;
    int width = 0;
    int height = 0;
    int bits = 0;

    Byte* row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
};

using ConstRows = Rows<const std::uint8_t>;
using MutableRows = Rows<std::uint8_t>;

namespace detail {
template <typename Byte, typename Picture> std::optional<Rows<Byte>> rowsOf(Picture& picture) {
    const auto l = picture.layout();
    if (!l || l->compression == Compression::Rle8 || l->compression == Compression::Rle4 ||
        l->width <= 0 || l->height <= 0) {
        return std::nullopt;
    }
    auto* base = reinterpret_cast<Byte*>(picture.block().data()) + l->pixelOffset;
    const auto rowBytes = static_cast<std::ptrdiff_t>(l->rowBytes);
    Rows<Byte> r;
    r.top = l->topDown ? base : base + rowBytes * (l->height - 1);
    r.stride = l->topDown ? rowBytes : -rowBytes;
    r.rowBytes = l->rowBytes;
    r.width = l->width;
    r.height = l->height;
    r.bits = l->bitCount;
    return r;
}
} // namespace detail

// Row access for a valid uncompressed picture; nullopt for anything else.
inline std::optional<ConstRows> rowsOf(const PictureBuffer& picture) {
    return detail::rowsOf<const std::uint8_t>(picture);
}
inline std::optional<MutableRows> rowsOf(PictureBuffer& picture) {
    return detail::rowsOf<std::uint8_t>(picture);
}

// Palette index of pixel x in a 1-, 4- or 8-bit row (leftmost pixel in the
// high bits of a byte).
inline unsigned readIndex(const std::uint8_t* row, int x, int bits) {
    const auto ux = static_cast<unsigned>(x);
    switch (bits) {
    case 8:
        return row[ux];
    case 4:
        return (row[ux >> 1] >> ((ux & 1u) != 0 ? 0 : 4)) & 0x0Fu;
    default:
        return (row[ux >> 3] >> (7 - (ux & 7u))) & 0x01u;
    }
}

inline void writeIndex(std::uint8_t* row, int x, int bits, unsigned value) {
    const auto ux = static_cast<unsigned>(x);
    switch (bits) {
    case 8:
        row[ux] = static_cast<std::uint8_t>(value);
        break;
    case 4: {
        const unsigned shift = (ux & 1u) != 0 ? 0 : 4;
        std::uint8_t& b = row[ux >> 1];
        b = static_cast<std::uint8_t>((b & ~(0x0Fu << shift)) | ((value & 0x0Fu) << shift));
        break;
    }
    default: {
        const unsigned bit = 0x80u >> (ux & 7u);
        std::uint8_t& b = row[ux >> 3];
        b = static_cast<std::uint8_t>((value & 1u) != 0 ? (b | bit) : (b & ~bit));
        break;
    }
    }
}

// Copies pixel `fromX` of one row to pixel `toX` of another, for the
// uncompressed depths 1, 4, 8, 16, 24 and 32.
template <int Bits>
inline void copyPixel(const std::uint8_t* from, int fromX, std::uint8_t* to, int toX) {
    if constexpr (Bits % 8 == 0) {
        constexpr std::ptrdiff_t n = Bits / 8;
        const std::uint8_t* s = from + fromX * n;
        std::uint8_t* d = to + toX * n;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            d[k] = s[k];
        }
    } else {
        writeIndex(to, toX, Bits, readIndex(from, fromX, Bits));
    }
}

// Calls `f.template operator()<Bits>()` for an uncompressed depth, so one
// templated loop body serves every depth; false for other depths.
template <typename F> inline bool forEachDepth(int bits, F&& f) {
    switch (bits) {
    case 1:
        f.template operator()<1>();
        return true;
    case 4:
        f.template operator()<4>();
        return true;
    case 8:
        f.template operator()<8>();
        return true;
    case 16:
        f.template operator()<16>();
        return true;
    case 24:
        f.template operator()<24>();
        return true;
    case 32:
        f.template operator()<32>();
        return true;
    default:
        return false;
    }
}

inline bool isIndexedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8;
}

// Blue, green, red: the byte order of a 24-bit pixel.
struct Bgr {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;
};

// The colour table as 256 pixels ready to copy; entries the table lacks are
// black, as a missing entry shows on screen.
using PaletteBgr = std::array<Bgr, 256>;
PaletteBgr paletteOf(const PictureBuffer& picture);

// Truncation toward zero that cannot overflow: results are kept within
// +-2^30 (far outside any picture) and NaN gives the lower bound, so a wild
// coordinate lands outside the picture instead of in undefined behaviour.
inline int truncToInt(double v) {
    constexpr double kLimit = 1073741824.0;
    if (!(v > -kLimit)) {
        return -(1 << 30);
    }
    if (v >= kLimit) {
        return 1 << 30;
    }
    return static_cast<int>(v);
}

inline std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A blank picture of `width` x `height` and `bits` that keeps the rest of
// `source`'s header (resolution; colour table and colours-used when both are
// indexed; bit-field masks when both have the same depth). Null when the
// size is not a sane picture or memory runs out.
PictureBuffer createLike(const PictureBuffer& source, int width, int height, int bits);

} // namespace vemra::pixels
