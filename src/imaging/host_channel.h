#pragma once

#include "imaging/host_protocol.h"
#include "platform/memory_block.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

// The transport both ends of the plug-in host use: whole messages over a
// SOCK_SEQPACKET socket with at most one file descriptor beside each, and
// bytes shared through sealed memfds.
namespace vemra::host {

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    void reset(int fd = -1) noexcept;
    int get() const noexcept { return m_fd; }
    int release() noexcept { return std::exchange(m_fd, -1); }
    explicit operator bool() const noexcept { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Sends one message, with `fd` beside it when it is not -1. False when the
// other end is gone; never raises SIGPIPE.
bool sendMessage(int socket, std::span<const std::byte> message, int fd = -1);

enum class ReceiveStatus { Message, Closed, TimedOut, Garbled };

// Waits up to `limit` (no limit when negative) for one message of at most
// kMaxMessageBytes; a descriptor sent beside it lands in `fd`. A message that
// was cut short, or came with more than one descriptor, is Garbled (the
// descriptors are closed).
ReceiveStatus receiveMessage(int socket, std::vector<std::byte>& message, UniqueFd& fd,
                             std::chrono::milliseconds limit);

// A memfd holding `parts` one after the other, then zeros up to `total`
// bytes, sealed against every change, so that the receiver may map it and
// trust that it stays as it was checked. Written with pwrite, so the sender
// never touches the pages through a mapping. Invalid when memory runs out.
UniqueFd sealedBytes(std::span<const std::span<const std::byte>> parts, std::size_t total);

// Maps a memfd received from the other end as the receiver's own private
// copy-on-write memory. Null when it is not sealed against writes and size
// changes, when its size is not `expected`, or above `maxBytes`.
MemoryBlock mapSealed(int fd, std::uint64_t expected, std::size_t maxBytes);

// Maps a memfd read-only for reading a source in place; the size is the
// file's. Null on failure.
class ReadMapping {
public:
    ReadMapping() noexcept = default;
    static std::optional<ReadMapping> open(int fd, std::size_t maxBytes);
    ReadMapping(ReadMapping&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}
    ReadMapping& operator=(ReadMapping&& other) noexcept {
        if (this != &other) {
            unmap();
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
        }
        return *this;
    }
    ReadMapping(const ReadMapping&) = delete;
    ReadMapping& operator=(const ReadMapping&) = delete;
    ~ReadMapping() { unmap(); }
    std::span<const std::byte> bytes() const { return {m_data, m_size}; }

private:
    void unmap() noexcept;

    const std::byte* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace vemra::host
