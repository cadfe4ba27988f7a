#pragma once

#include <string>

namespace vemra {

// The folder the plug-ins are loaded from: SPIDIR with "$(ExeDir)" expanded
// (`configured`), the program's folder when that is empty. A program run
// from its build tree keeps its plug-ins in "plugins" beside it, so when the
// program's folder holds no "*.spi" and that sub-folder exists, it is used.
std::string choosePluginFolder(const std::string& configured, const std::string& programFolder);

} // namespace vemra
