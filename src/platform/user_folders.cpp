#include "platform/user_folders.h"

#include <cstdlib>
#include <string_view>

namespace vemra {
namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string userCacheFolder() {
    // A relative XDG_CACHE_HOME is invalid by the base-directory rules and
    // would put the cache wherever the program happens to start.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
        return withoutTrailingSlashes(xdg);
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return withoutTrailingSlashes(std::string(home) + "/.cache");
    return {};
}

} // namespace vemra
