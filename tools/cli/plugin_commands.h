#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// Commands that work through the plug-ins (*.spi). Each takes the arguments
// after its name; "--plugins DIR" chooses the plug-in folder, by default the
// "plugins" folder of the build the program belongs to.
int runPlugins(std::span<const std::string_view> args);
int runList(std::span<const std::string_view> args);
int runExtract(std::span<const std::string_view> args);
// "decode FILE --plugin NAME -o OUT.bmp [--to24]": decode through one plug-in.
int runPluginDecode(std::span<const std::string_view> args);

} // namespace vemra::cli
