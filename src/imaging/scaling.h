#pragma once

#include "imaging/picture_buffer.h"

#include <optional>

namespace vemra {

// The scaling algorithms a user can choose (stored under `ScaleMode`).
enum class ScaleMode : int {
    Normal = 0,    // rotate if needed, then the platform's smooth stretch
    Nearest = 1,   // nearest neighbour, keeps the picture's depth
    Bilinear = 2,  // bilinear interpolation in 1/256 steps, 24-bit only
    Box = 3,       // averages every source pixel a destination pixel covers
    Automatic = 10 // box averaging for a factor <= 0.5, bilinear above
};

// The mode for a stored number; nullopt for numbers that name no mode.
std::optional<ScaleMode> scaleModeFromInt(int value);

// Degrees to radians. This exact constant (not pi / 180) decides which source
// pixel every rotated destination pixel takes, so it must not be "corrected".
inline constexpr double kDegreesToRadians = 0.01745329252111111;

// The factor a thumbnail is scaled by: min(width / sourceWidth,
// height / sourceHeight, 1); 0 for an empty source.
double thumbnailScaleFactor(int sourceWidth, int sourceHeight, int width, int height);

// What Automatic resolves to for a scale factor.
ScaleMode automaticMode(double factor);

// Scales `picture` to `width` x `height`, rotating it clockwise by `angle`
// degrees (y grows downwards) in the same pass. `automaticFactor` is the
// factor that drives ScaleMode::Automatic; 0 takes the thumbnail factor of
// the two sizes.
//
// Nearest keeps the picture's depth and colour table (16- and 32-bit and RLE
// pictures are converted first); Bilinear takes 24-bit pictures only and
// hands back an unchanged copy of any other; Box and Normal produce 24 bits.
// A rotation by a multiple of 90 degrees turns the picture exactly first and
// then scales it unturned. The result is always a new picture (a copy where
// nothing changes); null when memory runs out, the picture is invalid, or
// the size is empty or larger than kMaxPicturePixels.
PictureBuffer scaleAndRotate(const PictureBuffer& picture, int width, int height, double angle,
                             ScaleMode mode, double automaticFactor = 0);

// The same for a picture the caller gives up: where nothing changes, or
// where Nearest, Bilinear or Box cannot get memory, the picture itself comes
// back without a copy. Normal still answers null when its surface cannot be
// made.
PictureBuffer scaleAndRotate(PictureBuffer&& picture, int width, int height, double angle,
                             ScaleMode mode, double automaticFactor = 0);

// How every caller scales a picture: for Nearest, Bilinear, Box and
// Automatic the picture is first converted to 24 bits (RLE expanded), so
// palette pictures are interpolated in colour, not in index space. Null
// when the picture cannot be converted or scaled.
PictureBuffer scalePicture(const PictureBuffer& picture, int width, int height, double angle,
                           ScaleMode mode, double automaticFactor = 0);

} // namespace vemra
