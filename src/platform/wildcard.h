#pragma once

#include "platform/file_status.h"

#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// Directory enumeration with the wildcard rules users know from Windows file
// dialogs: letter case is ignored, "*" and "*.*" match every name, "*" any
// run of characters, "?" exactly one character (a UTF-8 sequence counts as
// one). Only ASCII letters fold case.
bool matchesWildcard(std::string_view name, std::string_view mask);

struct DirectoryItem {
    std::string name;
    FileStatus status;
};

// The items of `folder` whose names match `mask`, in case-insensitive name
// order (ties in byte order), without "." and "..". Items whose status cannot be read
// (vanished meanwhile, dangling links) are left out. A folder that cannot be
// read gives an empty list.
std::vector<DirectoryItem> enumerateFolder(const std::string& folder, std::string_view mask);

} // namespace vemra
