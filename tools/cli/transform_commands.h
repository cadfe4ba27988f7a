#pragma once

#include "imaging/unsharp.h"

#include <optional>
#include <span>
#include <string_view>

namespace vemra::cli {

// Scaling, rotation, mirror, flip and sharpening of one picture file. Input
// is a BMP file (RLE expanded); output is written as BMP.
int runScale(std::span<const std::string_view> args);
int runRotate(std::span<const std::string_view> args);
int runMirror(std::span<const std::string_view> args);
int runFlip(std::span<const std::string_view> args);
int runUnsharp(std::span<const std::string_view> args);

// A "WxH" argument with both sides positive.
std::optional<PictureSize> sizeOf(std::string_view text);

} // namespace vemra::cli
