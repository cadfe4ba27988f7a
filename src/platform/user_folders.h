#pragma once

#include <string>

namespace vemra {

// The per-user folder for caches: $XDG_CACHE_HOME when it is an absolute
// path, else ~/.cache; empty when neither can be told. No trailing "/".
std::string userCacheFolder();

} // namespace vemra
