#pragma once

#include "platform/file_status.h"

#include <string>
#include <string_view>
#include <vector>

namespace vemra {

struct DirectoryItem {
    std::string name;
    FileStatus status;
};

// The items of `folder` whose names match `mask` (platform/wildcard.h), in
// case-insensitive name order (ties in byte order), without "." and "..".
// Items whose status cannot be read (vanished meanwhile, dangling links) are
// left out. A folder that cannot be read gives an empty list.
std::vector<DirectoryItem> enumerateFolder(const std::string& folder, std::string_view mask);

} // namespace vemra
