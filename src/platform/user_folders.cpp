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

// A relative XDG_* folder is invalid by the base-directory rules and would
// put files wherever the program happens to start.
std::string baseFolder(const char* variable, std::string_view underHome) {
    if (const char* xdg = std::getenv(variable); xdg != nullptr && xdg[0] == '/')
        return withoutTrailingSlashes(xdg);
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return withoutTrailingSlashes(std::string(home) + std::string(underHome));
    return {};
}

} // namespace

std::string userCacheFolder() {
    return baseFolder("XDG_CACHE_HOME", "/.cache");
}

std::string userDataFolder() {
    return baseFolder("XDG_DATA_HOME", "/.local/share");
}

} // namespace vemra
