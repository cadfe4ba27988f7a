#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// convert FILE... -d DEST [--format bmp|jpeg|png] [--size WxH [--no-aspect] |
// --factor F] [--scale-mode M] [--unsharp] [--angle A] [--quality Q]
// [--progressive] [--quant 8] [--same 0-5] [-j N]
int runConvert(std::span<const std::string_view> args);

} // namespace vemra::cli
