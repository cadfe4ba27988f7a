#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// Commands that work through the plug-ins (*.spi) of the registry; the
// plug-in folder and set come from "--plugins DIR" and "--set NAME".
// plugins: one line per plug-in (name, type, information, extensions, in
// use), then the current set and the saved sets on lines starting with "#".
int runPlugins(std::span<const std::string_view> args);
int runList(std::span<const std::string_view> args);
int runExtract(std::span<const std::string_view> args);

} // namespace vemra::cli
