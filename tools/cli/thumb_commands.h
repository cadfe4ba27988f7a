#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// thumbs FOLDER [--size WxH] [--cache-folder DIR] [--settings FILE]: makes
// every entry's thumbnail as the grid's background pass does and writes the
// cache files; prints "made N loaded N failed N ms-per-thumbnail X".
int runThumbs(std::span<const std::string_view> args);

} // namespace vemra::cli
