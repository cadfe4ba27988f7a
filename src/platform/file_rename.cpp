#include "platform/file_rename.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vemra {

FileError renameWithoutReplacing(const std::string& source, const std::string& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return FileError::fromErrno(errno);
    // The file system cannot rename without replacing: a link fails with
    // EEXIST just as well.
    if (::link(source.c_str(), target.c_str()) == 0) {
        if (::unlink(source.c_str()) != 0) {
            const int error = errno;
            ::unlink(target.c_str());
            return FileError::fromErrno(error);
        }
        return {};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return FileError::fromErrno(errno);
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0)
        return FileError::fromErrno(EEXIST);
    if (::rename(source.c_str(), target.c_str()) != 0)
        return FileError::fromErrno(errno);
    return {};
}

} // namespace vemra
