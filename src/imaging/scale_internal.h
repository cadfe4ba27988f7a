#pragma once

#include "imaging/picture_buffer.h"

// Shared by the scaling algorithms; not for use outside src/imaging.
namespace vemra::scaling {

// The destination-to-source mapping of a scale-and-rotate: a destination
// pixel (x, y) stands for the point (left + x * stepX, top + y * stepY) of
// the rotated bounding box, which is rotated back by (360 - angle) degrees
// into source coordinates. y counts from the top in both pictures.
struct Geometry {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    double stepX = 1;
    double stepY = 1;
    bool rotated = false;
    double cosBack = 1; // cos and sin of (360 - angle)
    double sinBack = 0;

    void toSource(double px, double py, double& sx, double& sy) const {
        if (rotated) {
            sx = px * cosBack - py * sinBack;
            sy = px * sinBack + py * cosBack;
        } else {
            sx = px;
            sy = py;
        }
    }
};

// The corners of a width x height picture rotated by `angle`, rounded
// outwards by 0.9 and truncated toward zero; (0, 0, width, height) without
// rotation.
struct Bounds {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
Bounds rotatedBounds(int width, int height, double angle);

// The geometry for scaling a width x height picture to the destination size.
Geometry geometryFor(int width, int height, int destWidth, int destHeight, double angle);

// The algorithms proper. The source is valid and uncompressed with the depth
// each one takes (nearest and box: 1, 4, 8 or 24; bilinear: 24); the
// destination size is positive. Null when memory runs out.
PictureBuffer scaleNearest(const PictureBuffer& source, int destWidth, int destHeight,
                           double angle);
PictureBuffer scaleBilinear(const PictureBuffer& source, int destWidth, int destHeight,
                            double angle);
PictureBuffer scaleBox(const PictureBuffer& source, int destWidth, int destHeight, double angle);
// The platform stretch after an optional rotation; any valid source.
PictureBuffer scaleNormal(const PictureBuffer& source, int destWidth, int destHeight, double angle);

} // namespace vemra::scaling
