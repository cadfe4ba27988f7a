#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// identify FILE...: one tab-separated line per file (path, decoder label,
// width, height, bit count, info text) from the first built-in decoder that
// takes it.
int runIdentify(std::span<const std::string_view> args);
// decode FILE -o OUT.bmp [--decoder ID] [--reduce N] [--offset N] [--to24]
int runDecode(std::span<const std::string_view> args);

} // namespace vemra::cli
