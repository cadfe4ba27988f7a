#include "imaging/transforms.h"

#include "imaging/picture_convert.h"
#include "imaging/pixel_access.h"
#include "imaging/scale_internal.h"
#include "imaging/scaling.h"

#include <algorithm>
#include <cmath>

namespace vemra {
namespace {

// Copies every destination pixel from the source pixel `map` names, in tiles
// so that turning by a quarter reads the source in cache-sized pieces rather
// than a whole column per destination row. `map(j, i, sx, sy)` returns false
// for a destination pixel with no source pixel (left at 0).
template <int Bits, typename Map>
void copyMapped(const pixels::ConstRows& src, const pixels::MutableRows& dst, Map map) {
    constexpr int kTile = 64;
    for (int ti = 0; ti < dst.height; ti += kTile) {
        const int iEnd = std::min(ti + kTile, dst.height);
        for (int tj = 0; tj < dst.width; tj += kTile) {
            const int jEnd = std::min(tj + kTile, dst.width);
            for (int i = ti; i < iEnd; ++i) {
                std::uint8_t* to = dst.row(i);
                for (int j = tj; j < jEnd; ++j) {
                    int sx = 0;
                    int sy = 0;
                    if (map(j, i, sx, sy)) {
                        pixels::copyPixel<Bits>(src.row(sy), sx, to, j);
                    }
                }
            }
        }
    }
}

// Turns by whole quarters (clockwise, y down) as an exact copy: destination
// pixel (j, i) of a quarter turn takes source pixel (i, H - 1 - j).
PictureBuffer turnExactly(const PictureBuffer& source, const pixels::ConstRows& src, int turns) {
    const bool sideways = turns % 2 != 0;
    PictureBuffer dest = pixels::createLike(source, sideways ? src.height : src.width,
                                            sideways ? src.width : src.height, src.bits);
    const auto dst = pixels::rowsOf(dest);
    if (!dst) {
        return {};
    }
    const int w = src.width;
    const int h = src.height;
    pixels::forEachDepth(src.bits, [&]<int Bits>() {
        switch (turns) {
        case 1:
            copyMapped<Bits>(src, *dst, [h](int j, int i, int& sx, int& sy) {
                sx = i;
                sy = h - 1 - j;
                return true;
            });
            break;
        case 2:
            copyMapped<Bits>(src, *dst, [w, h](int j, int i, int& sx, int& sy) {
                sx = w - 1 - j;
                sy = h - 1 - i;
                return true;
            });
            break;
        case 3:
            copyMapped<Bits>(src, *dst, [w](int j, int i, int& sx, int& sy) {
                sx = w - 1 - i;
                sy = j;
                return true;
            });
            break;
        default:
            for (int y = 0; y < h; ++y) {
                std::copy_n(src.row(y), src.rowBytes, dst->row(y));
            }
            break;
        }
    });
    return dest;
}

// Any other angle: each destination pixel of the rotated bounding box takes
// the source pixel its corner rotates back onto, truncated toward zero.
PictureBuffer rotateFreely(const PictureBuffer& source, const pixels::ConstRows& src,
                           double angle) {
    const scaling::Bounds b = scaling::rotatedBounds(src.width, src.height, angle);
    const std::int64_t width = static_cast<std::int64_t>(b.right) - b.left;
    const std::int64_t height = static_cast<std::int64_t>(b.bottom) - b.top;
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) {
        return {};
    }
    PictureBuffer dest =
        pixels::createLike(source, static_cast<int>(width), static_cast<int>(height), src.bits);
    const auto dst = pixels::rowsOf(dest);
    if (!dst) {
        return {};
    }
    const double c = std::cos((360 - angle) * kDegreesToRadians);
    const double s = std::sin((360 - angle) * kDegreesToRadians);
    const int left = b.left;
    const int top = b.top;
    pixels::forEachDepth(src.bits, [&]<int Bits>() {
        copyMapped<Bits>(src, *dst, [&](int j, int i, int& sx, int& sy) {
            const double gx = left + j;
            const double gy = top + i;
            sx = pixels::truncToInt(gx * c - gy * s);
            sy = pixels::truncToInt(gx * s + gy * c);
            return sx >= 0 && sx < src.width && sy >= 0 && sy < src.height;
        });
    });
    return dest;
}

template <int Bits> void mirrorRow(std::uint8_t* row, int width) {
    if constexpr (Bits % 8 == 0) {
        constexpr int n = Bits / 8;
        std::uint8_t* a = row;
        std::uint8_t* b = row + static_cast<std::ptrdiff_t>(width - 1) * n;
        for (; a < b; a += n, b -= n) {
            std::swap_ranges(a, a + n, b);
        }
    } else {
        for (int a = 0, b = width - 1; a < b; ++a, --b) {
            const unsigned left = pixels::readIndex(row, a, Bits);
            pixels::writeIndex(row, a, Bits, pixels::readIndex(row, b, Bits));
            pixels::writeIndex(row, b, Bits, left);
        }
    }
}

} // namespace

bool isRightAngle(double angle) {
    if (!std::isfinite(angle)) {
        return false;
    }
    const double r = std::fabs(std::fmod(angle, 90.0));
    return r < 0.0001 || r > 90 - 0.0001;
}

int quarterTurns(double angle) {
    if (!std::isfinite(angle)) {
        return 0;
    }
    const auto turns = static_cast<int>(std::lround(std::fmod(angle, 360.0) / 90));
    return (turns % 4 + 4) % 4;
}

PictureBuffer rotatePicture(const PictureBuffer& picture, double angle) {
    if (picture.compression() == Compression::Rle8 || picture.compression() == Compression::Rle4) {
        PictureBuffer expanded = picture.duplicate();
        if (!expanded || !expandRle(expanded)) {
            return {};
        }
        return rotatePicture(expanded, angle);
    }
    const auto src = pixels::rowsOf(picture);
    if (!src) {
        return {};
    }
    if (!std::isfinite(angle) || angle == 0) {
        return picture.duplicate();
    }
    if (isRightAngle(angle)) {
        return turnExactly(picture, *src, quarterTurns(angle));
    }
    return rotateFreely(picture, *src, angle);
}

PictureBuffer rotatePicture(PictureBuffer&& picture, double angle) {
    if (!std::isfinite(angle) || angle == 0) {
        return std::move(picture);
    }
    PictureBuffer rotated = rotatePicture(static_cast<const PictureBuffer&>(picture), angle);
    return rotated ? std::move(rotated) : std::move(picture);
}

bool mirrorPicture(PictureBuffer& picture) {
    const auto rows = pixels::rowsOf(picture);
    if (!rows) {
        return false;
    }
    return pixels::forEachDepth(rows->bits, [&]<int Bits>() {
        for (int y = 0; y < rows->height; ++y) {
            mirrorRow<Bits>(rows->row(y), rows->width);
        }
    });
}

bool flipPicture(PictureBuffer& picture) {
    const auto rows = pixels::rowsOf(picture);
    if (!rows) {
        return false;
    }
    for (int a = 0, b = rows->height - 1; a < b; ++a, --b) {
        std::swap_ranges(rows->row(a), rows->row(a) + rows->rowBytes, rows->row(b));
    }
    return true;
}

} // namespace vemra
