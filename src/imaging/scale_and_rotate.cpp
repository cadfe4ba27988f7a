#include "imaging/picture_convert.h"
#include "imaging/pixel_access.h"
#include "imaging/scale_internal.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"

#include <algorithm>
#include <cmath>

namespace vemra {
namespace scaling {

Bounds rotatedBounds(int width, int height, double angle) {
    if (angle == 0) {
        return {0, 0, width, height};
    }
    const double c = std::cos(angle * kDegreesToRadians);
    const double s = std::sin(angle * kDegreesToRadians);
    const double w = width;
    const double h = height;
    const double xs[4] = {0, w * c, -h * s, w * c - h * s};
    const double ys[4] = {0, w * s, h * c, w * s + h * c};
    const auto [minX, maxX] = std::minmax_element(xs, xs + 4);
    const auto [minY, maxY] = std::minmax_element(ys, ys + 4);
    // 0.9 rather than 1 keeps an exact corner from widening the box by a
    // whole pixel while still covering the partial pixels of a turned edge.
    return {pixels::truncToInt(*minX - 0.9), pixels::truncToInt(*minY - 0.9),
            pixels::truncToInt(*maxX + 0.9), pixels::truncToInt(*maxY + 0.9)};
}

Geometry geometryFor(int width, int height, int destWidth, int destHeight, double angle) {
    const Bounds b = rotatedBounds(width, height, angle);
    Geometry g;
    g.left = b.left;
    g.top = b.top;
    g.right = b.right;
    g.bottom = b.bottom;
    g.stepX = static_cast<double>(b.right - b.left) / destWidth;
    g.stepY = static_cast<double>(b.bottom - b.top) / destHeight;
    g.rotated = angle != 0;
    if (g.rotated) {
        g.cosBack = std::cos((360 - angle) * kDegreesToRadians);
        g.sinBack = std::sin((360 - angle) * kDegreesToRadians);
    }
    return g;
}

} // namespace scaling

namespace {

// A scaling's answer: a new picture, or "the input is the answer" (nothing
// to change, or a depth the algorithm leaves alone). A null picture without
// useInput is a failure.
struct Outcome {
    PictureBuffer picture;
    bool useInput = false;
};

bool isRle(Compression c) {
    return c == Compression::Rle8 || c == Compression::Rle4;
}

bool nativeDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24;
}

// An uncompressed copy of `picture` in a depth every algorithm reads: RLE is
// expanded, 16 and 32 bits become 24. Null when that fails.
PictureBuffer readableCopy(const PictureBuffer& picture, bool force24) {
    PictureBuffer copy = picture.duplicate();
    if (!copy || (isRle(copy.compression()) && !expandRle(copy))) {
        return {};
    }
    if ((force24 || !nativeDepth(copy.bitCount())) && !convertTo24Bits(copy)) {
        return {};
    }
    return copy;
}

bool sizeAllowed(int width, int height) {
    return width > 0 && height > 0 &&
           static_cast<std::int64_t>(width) * height <= kMaxPicturePixels;
}

Outcome scaleCore(const PictureBuffer& source, int width, int height, double angle,
                  ScaleMode mode) {
    const auto l = source.layout();
    if (!l || !sizeAllowed(width, height)) {
        return {};
    }
    if (mode == ScaleMode::Normal) {
        return {scaling::scaleNormal(source, width, height, angle)};
    }
    if (width == l->width && height == l->height) {
        if (angle == 0) {
            return {{}, true};
        }
        if (isRightAngle(angle)) {
            return {rotatePicture(source, angle)};
        }
    }
    if (angle != 0 && isRightAngle(angle)) {
        // Turning exactly first keeps the whole picture: the rotation formula
        // evaluated at a right angle lands one pixel off and leaves a black
        // edge line.
        PictureBuffer turned = rotatePicture(source, angle);
        if (!turned) {
            return {};
        }
        Outcome inner = scaleCore(turned, width, height, 0, mode);
        if (inner.useInput) {
            return {std::move(turned)};
        }
        return inner;
    }
    if (mode == ScaleMode::Bilinear) {
        if (l->bitCount != 24 || isRle(l->compression)) {
            return {{}, true};
        }
        return {scaling::scaleBilinear(source, width, height, angle)};
    }
    if (mode != ScaleMode::Nearest && mode != ScaleMode::Box) {
        return {};
    }
    if (isRle(l->compression) || !nativeDepth(l->bitCount)) {
        PictureBuffer readable = readableCopy(source, false);
        if (!readable) {
            return {};
        }
        Outcome inner = scaleCore(readable, width, height, angle, mode);
        if (inner.useInput) {
            return {std::move(readable)};
        }
        return inner;
    }
    return {mode == ScaleMode::Nearest ? scaling::scaleNearest(source, width, height, angle)
                                       : scaling::scaleBox(source, width, height, angle)};
}

ScaleMode resolveMode(const PictureBuffer& picture, int width, int height, ScaleMode mode,
                      double automaticFactor) {
    if (mode != ScaleMode::Automatic) {
        return mode;
    }
    return automaticMode(
        automaticFactor > 0
            ? automaticFactor
            : thumbnailScaleFactor(picture.width(), picture.height(), width, height));
}

double usableAngle(double angle) {
    if (!std::isfinite(angle)) {
        return 0;
    }
    // A whole number of turns is no rotation; treating it so avoids the
    // rounding noise of cos and sin near 360 degrees.
    return isRightAngle(angle) && quarterTurns(angle) == 0 ? 0 : angle;
}

} // namespace

std::optional<ScaleMode> scaleModeFromInt(int value) {
    switch (value) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 10:
        return static_cast<ScaleMode>(value);
    default:
        return std::nullopt;
    }
}

double thumbnailScaleFactor(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0) {
        return 0;
    }
    return std::min({static_cast<double>(width) / sourceWidth,
                     static_cast<double>(height) / sourceHeight, 1.0});
}

ScaleMode automaticMode(double factor) {
    return factor <= 0.5 ? ScaleMode::Box : ScaleMode::Bilinear;
}

PictureBuffer scaleAndRotate(const PictureBuffer& picture, int width, int height, double angle,
                             ScaleMode mode, double automaticFactor) {
    const ScaleMode resolved = resolveMode(picture, width, height, mode, automaticFactor);
    Outcome o = scaleCore(picture, width, height, usableAngle(angle), resolved);
    return o.useInput ? picture.duplicate() : std::move(o.picture);
}

PictureBuffer scaleAndRotate(PictureBuffer&& picture, int width, int height, double angle,
                             ScaleMode mode, double automaticFactor) {
    const ScaleMode resolved = resolveMode(picture, width, height, mode, automaticFactor);
    Outcome o = scaleCore(picture, width, height, usableAngle(angle), resolved);
    if (o.useInput || (!o.picture && resolved != ScaleMode::Normal)) {
        return std::move(picture);
    }
    return std::move(o.picture);
}

PictureBuffer scalePicture(const PictureBuffer& picture, int width, int height, double angle,
                           ScaleMode mode, double automaticFactor) {
    const ScaleMode resolved = resolveMode(picture, width, height, mode, automaticFactor);
    if (resolved == ScaleMode::Normal ||
        (picture.bitCount() == 24 && !isRle(picture.compression()))) {
        return scaleAndRotate(picture, width, height, angle, resolved);
    }
    PictureBuffer converted = readableCopy(picture, true);
    if (!converted) {
        return {};
    }
    Outcome o = scaleCore(converted, width, height, usableAngle(angle), resolved);
    return o.useInput ? std::move(converted) : std::move(o.picture);
}

} // namespace vemra
