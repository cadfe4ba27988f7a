#pragma once

#include <optional>
#include <string>

namespace vemra {

// Why `path` cannot be the display's profile ("DisplayProfile"), or nullopt
// when it can: empty (the desktop's), or an absolute path to a readable RGB
// display profile.
std::optional<std::string> displayProfileRefusal(const std::string& path);

} // namespace vemra
