#pragma once

#include <string>

namespace vemra {

// The folder the plug-ins are loaded from, the first of:
// - SPIDIR with "$(ExeDir)" expanded (`configured`) when it is set;
// - the program's folder when it holds a "*.spi" (plug-ins copied beside a
//   portable program);
// - "plugins" beside the program (the build tree keeps them there);
// - the installed plug-in folder (<prefix>/lib/vemra/plugins, found from
//   the program's folder);
// - the program's folder.
std::string choosePluginFolder(const std::string& configured, const std::string& programFolder);

} // namespace vemra
