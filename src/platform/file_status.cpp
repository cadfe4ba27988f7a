#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace vemra {

std::optional<FileStatus> fileStatus(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    return fileStatusAt(AT_FDCWD, path.c_str());
}

std::optional<FileStatus> fileStatusAt(int folderFd, const char* name) {
    struct statx sx {};
    if (statx(folderFd, name, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    FileStatus status;
    const unsigned type = sx.stx_mode & S_IFMT;
    status.isFolder = type == S_IFDIR;
    status.isFile = type == S_IFREG;
    status.size = sx.stx_size;
    status.lastWriteTime = sx.stx_mtime.tv_sec;
    status.creationTime = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    status.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    status.inode = sx.stx_ino;
    return status;
}

std::uint32_t volumeSerial(const std::string& path) {
    struct statvfs vfs {};
    if (path.empty() || statvfs(path.c_str(), &vfs) != 0)
        return 0;
    const auto id = static_cast<std::uint64_t>(vfs.f_fsid);
    return static_cast<std::uint32_t>(id ^ (id >> 32));
}

} // namespace vemra
