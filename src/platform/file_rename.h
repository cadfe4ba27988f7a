#pragma once

#include "platform/file_transfer.h"

#include <string>

namespace vemra {

// Renames `source` to `target` within one file system without ever
// replacing a file that already stands under the target's name: a rename
// the user asked for must fail rather than destroy another picture (the
// plain rename(2) would silently overwrite it). Where the file system
// cannot refuse atomically (renameat2 unsupported) a hard link is made and
// the old name removed; where it has no hard links either, the target is
// checked just before renaming.
FileError renameWithoutReplacing(const std::string& source, const std::string& target);

} // namespace vemra
