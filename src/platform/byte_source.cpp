#include "platform/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vemra {

bool MemorySource::readAt(std::uint64_t offset, std::span<std::byte> out) const {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) {
        return false;
    }
    if (!out.empty()) {
        std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    }
    return true;
}

std::optional<FileSource> FileSource::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileSource(fd, static_cast<std::uint64_t>(status.st_size));
}

FileSource::FileSource(FileSource&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)) {}

FileSource& FileSource::operator=(FileSource&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

FileSource::~FileSource() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FileSource::readAt(std::uint64_t offset, std::span<std::byte> out) const {
    if (m_fd < 0 || offset > m_size || out.size() > m_size - offset) {
        return false;
    }
    while (!out.empty()) {
        const ssize_t got = ::pread(m_fd, out.data(), out.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // an error, or the file shrank under us
        }
        out = out.subspan(static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

} // namespace vemra
