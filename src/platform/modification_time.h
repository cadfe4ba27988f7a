#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vemra {

// The modification time of `path` to the file system's own precision, in
// nanoseconds since 1970 (symbolic links followed); nullopt when it cannot
// be read. A folder's time moves whenever a name in it is added, removed or
// renamed.
std::optional<std::int64_t> modificationNanoseconds(const std::string& path);

} // namespace vemra
