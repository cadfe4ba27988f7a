#pragma once

#include "imaging/decoder_registry.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vemra::cli {

// "--plugins DIR" and "--set NAME", taken from anywhere on the command line
// before the command runs.
struct RegistryOptions {
    std::string pluginDir; // empty: the plug-in folder of this build
    std::string set;
    bool setGiven = false;
};
RegistryOptions& registryOptions();
// Removes the registry options from `args`; 2 after a usage error, else 0.
int takeRegistryOptions(std::vector<std::string_view>& args);

// The plug-ins are built beside the program's own build folder:
// <build>/tools/cli/vemra-cli and <build>/plugins.
std::string defaultPluginDir();

// A registry over the program's settings, its plug-in folder scanned and its
// set loaded. Problems of the scan go to stderr (and set `problems`), fault
// reports as "SPI Exception: <message>". The batch tool leaves the settings
// as they were.
std::unique_ptr<DecoderRegistry> openRegistry(bool* problems = nullptr);

// Text pictures are rendered with fonts, which need a GUI application; it is
// made on first need, on the offscreen platform unless another one is set.
void ensureGuiApplication();

} // namespace vemra::cli
