#pragma once

#include "imaging/decoder_registry.h"

#include <memory>
#include <string>

namespace vemra::cli {

// "--plugins DIR" and "--set NAME" of this run (see global_options.h).
struct RegistryOptions {
    std::string pluginDir; // empty: the plug-in folder of this build
    std::string set;
    bool setGiven = false;
};
RegistryOptions& registryOptions();

// The plug-ins shipped with the program: installed in
// <prefix>/lib/vemra/plugins beside <prefix>/bin/vemra-cli, else built
// beside the program's own build folder (<build>/tools/cli/vemra-cli and
// <build>/plugins).
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
