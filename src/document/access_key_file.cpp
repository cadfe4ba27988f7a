#include "document/access_key_file.h"

#include "platform/file_status.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace vemra {

AccessKeyFile::AccessKeyFile(AccessKeyFile&& other) noexcept
    : m_lockPath(std::move(other.m_lockPath)) {
    other.m_lockPath.clear();
}

AccessKeyFile& AccessKeyFile::operator=(AccessKeyFile&& other) noexcept {
    if (this != &other) {
        release();
        m_lockPath = std::move(other.m_lockPath);
        other.m_lockPath.clear();
    }
    return *this;
}

AccessKeyFile::~AccessKeyFile() {
    release();
}

std::string AccessKeyFile::lockPathFor(const std::string& guarded) {
    const std::size_t slash = guarded.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = guarded.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = guarded.size();
    std::string path = guarded.substr(0, dot);
    path += ".ACF";
    return path;
}

bool AccessKeyFile::acquire(const std::string& guarded, int retries,
                            const std::function<bool()>& stop) {
    release();
    if (retries == 0)
        return true;
    const std::string lockPath = lockPathFor(guarded);
    for (int attempt = 0;; ++attempt) {
        if (!fileStatus(lockPath))
            break;
        const bool lastTry = retries > 0 && attempt + 1 >= retries;
        if (lastTry || (stop && stop()))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryIntervalMs));
    }
    const int fd = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return true;
    std::string line = kContent;
    line += '\n';
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    m_lockPath = lockPath;
    if (!written)
        release();
    return true;
}

void AccessKeyFile::release() {
    if (m_lockPath.empty())
        return;
    ::unlink(m_lockPath.c_str());
    m_lockPath.clear();
}

} // namespace vemra
