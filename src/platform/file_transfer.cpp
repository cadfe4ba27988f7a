#include "platform/file_transfer.h"

#include "platform/path_parts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace vemra {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, so that a failing close (NFS reports late write errors
    // there) is seen.
    int close() { return m_fd >= 0 ? ::close(std::exchange(m_fd, -1)) : 0; }

private:
    int m_fd;
};

// Removes the temporary file unless the copy was committed.
class TemporaryName {
public:
    explicit TemporaryName(std::string path) : m_path(std::move(path)) {}
    ~TemporaryName() {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    const std::string& path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    std::string m_path;
};

// A hidden name beside `target` that no other file has; a file manager
// hides it while the copy runs.
std::string temporaryPathFor(const std::string& target, int attempt) {
    static unsigned counter = 0;
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.%d.part", static_cast<int>(::getpid()), ++counter,
                  attempt);
    std::string name = namePartOf(target);
    // Keep the name within the file system's limit of 255 bytes.
    if (name.size() > 180)
        name.resize(180);
    return folderPartOf(target) + "/.vemra-" + name + suffix;
}

// Makes sure the rename of a file into `folder` is itself on the disk.
void flushFolder(const std::string& folder) {
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

// Puts the finished temporary file in the target's place. The rename is
// atomic: after a crash the target's name holds the old file or the whole
// new one. (The folder itself is flushed only where a source is removed
// afterwards; for a copy the source still stands, so nothing can be lost
// and each file is spared a second flush.)
FileError commit(TemporaryName& temporary, const std::string& target) {
    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
        return FileError::fromErrno(errno);
    temporary.release();
    return {};
}

FileError copyBytes(int from, int to, std::uint64_t size) {
    // The kernel copies within itself (and shares blocks where the file
    // system can); plain reads and writes are the fallback.
    std::uint64_t done = 0;
    bool kernelCopy = true;
    while (kernelCopy && done < size) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size - done, 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0)
            break; // the source became shorter: the loop below finds its end
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF)
            kernelCopy = false;
        else
            return FileError::fromErrno(errno);
    }
    if (::lseek(from, static_cast<off_t>(done), SEEK_SET) < 0 ||
        ::lseek(to, static_cast<off_t>(done), SEEK_SET) < 0)
        return FileError::fromErrno(errno);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileError::fromErrno(errno);
        }
        if (n == 0)
            return {};
        for (ssize_t written = 0; written < n;) {
            const ssize_t w =
                ::write(to, buffer.data() + written, static_cast<std::size_t>(n - written));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return FileError::fromErrno(errno);
            }
            written += w;
        }
    }
}

FileError copyLink(const std::string& source, const std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(source.c_str(), buffer.data(), buffer.size() - 1);
    if (n < 0)
        return FileError::fromErrno(errno);
    const std::string linkText(buffer.data(), static_cast<std::size_t>(n));
    for (int attempt = 0; attempt < 16; ++attempt) {
        TemporaryName temporary(temporaryPathFor(target, attempt));
        if (::symlink(linkText.c_str(), temporary.path().c_str()) != 0) {
            const int error = errno;
            temporary.release(); // not ours to remove
            if (error == EEXIST)
                continue;
            return FileError::fromErrno(error);
        }
        return commit(temporary, target);
    }
    return FileError::fromErrno(EEXIST);
}

} // namespace

FileError FileError::fromErrno(int errorNumber) {
    FileError error;
    error.code = errorNumber != 0 ? errorNumber : EIO;
    error.text = std::strerror(error.code);
    return error;
}

FileError copyFileSafely(const std::string& source, const std::string& target) {
    struct stat link {};
    if (::lstat(source.c_str(), &link) != 0)
        return FileError::fromErrno(errno);
    if (S_ISLNK(link.st_mode))
        return copyLink(source, target);
    Descriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.get() < 0)
        return FileError::fromErrno(errno);
    struct stat status {};
    if (::fstat(from.get(), &status) != 0)
        return FileError::fromErrno(errno);
    if (S_ISDIR(status.st_mode))
        return FileError::fromErrno(EISDIR);
    if (!S_ISREG(status.st_mode))
        return FileError::fromErrno(EINVAL); // devices and pipes are not pictures
    for (int attempt = 0; attempt < 16; ++attempt) {
        TemporaryName temporary(temporaryPathFor(target, attempt));
        Descriptor to(::open(temporary.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             status.st_mode & 0777));
        if (to.get() < 0) {
            if (errno == EEXIST) {
                temporary.release(); // somebody else's file
                continue;
            }
            return FileError::fromErrno(errno);
        }
        if (FileError error =
                copyBytes(from.get(), to.get(), static_cast<std::uint64_t>(status.st_size)))
            return error;
        // The umask may have taken bits away; the copy gets the source's.
        ::fchmod(to.get(), status.st_mode & 0777);
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        ::futimens(to.get(), times);
        if (::fsync(to.get()) != 0)
            return FileError::fromErrno(errno);
        if (to.close() != 0)
            return FileError::fromErrno(errno);
        return commit(temporary, target);
    }
    return FileError::fromErrno(EEXIST);
}

FileError moveFileSafely(const std::string& source, const std::string& target) {
    // Within one file system the file is under one name or the other, even
    // across a crash.
    if (::rename(source.c_str(), target.c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return FileError::fromErrno(errno);
    if (FileError error = copyFileSafely(source, target))
        return error;
    // The copy's name must be on the disk before the source goes.
    flushFolder(folderPartOf(target));
    if (::unlink(source.c_str()) != 0) {
        // The copy stands complete; the source stays too, so nothing is lost,
        // but the move did not happen as asked.
        return FileError::fromErrno(errno);
    }
    return {};
}

FileError removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return FileError::fromErrno(errno);
    return {};
}

bool isSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace vemra
