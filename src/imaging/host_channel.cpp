#include "imaging/host_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vemra::host {
namespace {

constexpr unsigned kSeals = F_SEAL_SEAL | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

void closeDescriptors(msghdr& header) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            ::close(fd);
        }
    }
}

} // namespace

void UniqueFd::reset(int fd) noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

bool sendMessage(int socket, std::span<const std::byte> message, int fd) {
    iovec io{const_cast<std::byte*>(message.data()), message.size()};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    for (;;) {
        const ssize_t sent = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<std::size_t>(sent) == message.size();
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

ReceiveStatus receiveMessage(int socket, std::vector<std::byte>& message, UniqueFd& fd,
                             std::chrono::milliseconds limit) {
    fd.reset();
    message.resize(kMaxMessageBytes);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int wait = -1;
        if (limit.count() >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        pollfd p{socket, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return ReceiveStatus::Closed;
        }
        if (ready == 0) {
            return ReceiveStatus::TimedOut;
        }
        iovec io{message.data(), message.size()};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            closeDescriptors(header);
            return ReceiveStatus::Closed;
        }
        int received = -1;
        int count = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
                count += static_cast<int>((c->cmsg_len - CMSG_LEN(0)) / sizeof(int));
                std::memcpy(&received, CMSG_DATA(c), sizeof received);
            }
        }
        if ((header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0 || count > 1) {
            closeDescriptors(header);
            return ReceiveStatus::Garbled;
        }
        if (count == 1) {
            fd.reset(received);
        }
        message.resize(static_cast<std::size_t>(got));
        return ReceiveStatus::Message;
    }
}

UniqueFd sealedBytes(std::span<const std::span<const std::byte>> parts, std::size_t total) {
    UniqueFd fd(::memfd_create("vemra-spi", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd || ::ftruncate(fd.get(), static_cast<off_t>(total)) != 0) {
        return {};
    }
    std::size_t at = 0;
    for (const auto part : parts) {
        std::size_t done = 0;
        while (done < part.size() && at + done < total) {
            const std::size_t want = std::min(part.size() - done, total - at - done);
            const ssize_t wrote =
                ::pwrite(fd.get(), part.data() + done, want, static_cast<off_t>(at + done));
            if (wrote < 0 && errno == EINTR) {
                continue;
            }
            if (wrote <= 0) {
                return {};
            }
            done += static_cast<std::size_t>(wrote);
        }
        at += done;
    }
    if (::fcntl(fd.get(), F_ADD_SEALS, kSeals) != 0) {
        return {};
    }
    return fd;
}

MemoryBlock mapSealed(int fd, std::uint64_t expected, std::size_t maxBytes) {
    struct stat status {};
    const int seals = ::fcntl(fd, F_GET_SEALS);
    if (fd < 0 || expected == 0 || expected > maxBytes || seals < 0 ||
        (static_cast<unsigned>(seals) & (F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE)) !=
            (F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE) ||
        ::fstat(fd, &status) != 0 || static_cast<std::uint64_t>(status.st_size) != expected) {
        return {};
    }
    const auto size = static_cast<std::size_t>(expected);
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
        return {};
    }
    return MemoryBlock::adoptMapping(static_cast<std::byte*>(data), size, size);
}

std::optional<ReadMapping> ReadMapping::open(int fd, std::size_t maxBytes) {
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || status.st_size <= 0 ||
        static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        return std::nullopt;
    }
    ReadMapping mapping;
    mapping.m_data = static_cast<const std::byte*>(data);
    mapping.m_size = size;
    return mapping;
}

void ReadMapping::unmap() noexcept {
    if (m_data != nullptr) {
        ::munmap(const_cast<std::byte*>(m_data), m_size);
        m_data = nullptr;
        m_size = 0;
    }
}

} // namespace vemra::host
