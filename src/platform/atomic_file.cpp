#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vemra {
namespace {

std::string temporaryNameFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.tmp", static_cast<int>(::getpid()),
                  counter.fetch_add(1));
    return target + suffix;
}

} // namespace

AtomicFile::AtomicFile(std::string targetPath) : m_target(std::move(targetPath)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    if (m_fd >= 0 || m_failed) {
        return !m_failed;
    }
    // A name that exists already (a crashed earlier run) is skipped rather than
    // reused, so that O_EXCL never opens somebody else's file.
    for (int attempt = 0; attempt < 16; ++attempt) {
        m_temporary = temporaryNameFor(m_target);
        // 0666 lets the process umask decide the permissions, as for any new file.
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    fail(errno);
    m_temporary.clear();
    return false;
}

bool AtomicFile::write(std::span<const std::byte> bytes) {
    if (m_fd < 0 || m_failed) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool AtomicFile::commit() {
    if (m_fd < 0 || m_failed) {
        discard();
        return false;
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        fail(errno);
        discard();
        return false;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        fail(errno);
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::fail(int errorNumber) {
    if (!m_failed) {
        m_failed = true;
        m_errorNumber = errorNumber;
        m_error = std::strerror(errorNumber);
    }
}

void AtomicFile::discard() noexcept {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

bool writeFileAtomically(const std::string& path, std::span<const std::byte> bytes) {
    AtomicFile file(path);
    return file.open() && file.write(bytes) && file.commit();
}

} // namespace vemra
