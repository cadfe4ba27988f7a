#include "platform/modification_time.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vemra {

std::optional<std::int64_t> modificationNanoseconds(const std::string& path) {
    struct statx sx {};
    if (path.empty() || statx(AT_FDCWD, path.c_str(), 0, STATX_MTIME, &sx) != 0 ||
        !(sx.stx_mask & STATX_MTIME))
        return std::nullopt;
    return static_cast<std::int64_t>(sx.stx_mtime.tv_sec) * 1'000'000'000 + sx.stx_mtime.tv_nsec;
}

} // namespace vemra
