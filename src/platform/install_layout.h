#pragma once

#include <filesystem>

namespace vemra {

// The folders an installed Vemra reads at run time. They are found from the
// program's own folder (<prefix>/bin), never from a path compiled in, so an
// installation moved elsewhere, or a package unpacked into any folder, finds
// its own files. The relative places are the ones the install rules use.
enum class InstalledFolder {
    Plugins,   // <prefix>/lib/vemra/plugins: the plug-ins shipped with Vemra
    Helpers,   // <prefix>/libexec/vemra: programs Vemra runs, not its users
    Data,      // <prefix>/share/vemra: catalog and print definitions
    Documents, // <prefix>/share/doc/vemra: the manual and the user guide
};

// `folder` of the installation whose programs lie in `programFolder`, in
// lexically normal form. Whether it exists is not checked.
std::filesystem::path installedFolder(InstalledFolder folder,
                                      const std::filesystem::path& programFolder);

// The folder `name` of the definitions shipped with Vemra ("catalogs",
// "print"): beside the program when it is there (the build tree copies them
// so, and a portable copy keeps them so), else in the installed data folder.
// When neither exists, the one beside the program.
std::filesystem::path shippedDefinitionFolder(const std::filesystem::path& programFolder,
                                              const std::filesystem::path& name);

} // namespace vemra
