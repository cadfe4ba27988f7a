#pragma once

#include <string>

namespace vemra {

// The per-user folder for caches: $XDG_CACHE_HOME when it is an absolute
// path, else ~/.cache; empty when neither can be told. No trailing "/".
std::string userCacheFolder();

// The per-user folder for data files: $XDG_DATA_HOME when it is an
// absolute path, else ~/.local/share; empty when neither can be told.
std::string userDataFolder();

} // namespace vemra
