#include "platform/spool_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vemra {

SpoolFile::~SpoolFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

SpoolFile::SpoolFile(SpoolFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)) {}

SpoolFile& SpoolFile::operator=(SpoolFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

bool SpoolFile::create(const std::string& folder) {
    if (m_fd >= 0)
        return true;
    const std::string where = folder.empty() ? std::string(".") : folder;
    int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // File systems without unnamed files: a named one, unlinked at once.
        std::string name = where + "/.vemra-spool-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return false;
        ::unlink(name.c_str());
    }
    m_fd = fd;
    m_size = 0;
    return true;
}

std::int64_t SpoolFile::append(std::span<const std::byte> bytes) {
    if (m_fd < 0)
        return -1;
    const std::int64_t at = m_size;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(at + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += static_cast<std::size_t>(n);
    }
    m_size = at + static_cast<std::int64_t>(bytes.size());
    return at;
}

bool SpoolFile::read(std::int64_t offset, std::size_t size, std::vector<std::byte>& out) const {
    out.resize(size);
    if (m_fd < 0 || offset < 0 || offset > m_size ||
        static_cast<std::uint64_t>(m_size - offset) < size)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out.data() + done, size - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace vemra
