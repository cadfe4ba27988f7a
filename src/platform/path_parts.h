#pragma once

#include <string>
#include <string_view>

namespace vemra {

// The folder of `path` ("." for a bare name, "/" for a name at the root).
inline std::string folderPartOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return ".";
    return std::string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

// The last component of `path`.
inline std::string namePartOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace vemra
