#pragma once

#include <cstddef>
#include <span>

namespace vemra {

// An owned, zero-filled, contiguous byte block.
//
// Blocks of 2 MiB and more are mapped on 2 MiB boundaries and advised as huge
// pages: the first touch of a fresh multi-megabyte picture otherwise costs more
// in 4 KiB page faults than decoding it does. Sanitizer builds always use the
// heap so that AddressSanitizer guards the edges of every block.
class MemoryBlock {
public:
    // Largest block handed out; larger requests fail like an exhausted heap.
    static constexpr std::size_t kMaxBytes = std::size_t{3} << 30;

    MemoryBlock() noexcept = default;
    MemoryBlock(MemoryBlock&& other) noexcept;
    MemoryBlock& operator=(MemoryBlock&& other) noexcept;
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;
    ~MemoryBlock();

    // A block of exactly `bytes` zero bytes; an empty block when `bytes` is 0,
    // above kMaxBytes, or the memory cannot be had.
    static MemoryBlock allocate(std::size_t bytes) noexcept;
    // Takes ownership of `mappedBytes` bytes mapped with mmap at `data`, of
    // which the first `bytes` are the block; they are unmapped with it.
    static MemoryBlock adoptMapping(std::byte* data, std::size_t bytes,
                                    std::size_t mappedBytes) noexcept;

    // Changes the size, keeping the first min(old, new) bytes; added bytes are
    // zero. On failure the block is left as it was and false is returned.
    bool resize(std::size_t bytes) noexcept;

    std::byte* data() noexcept { return m_data; }
    const std::byte* data() const noexcept { return m_data; }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    explicit operator bool() const noexcept { return m_size != 0; }
    std::span<std::byte> bytes() noexcept { return {m_data, m_size}; }
    std::span<const std::byte> bytes() const noexcept { return {m_data, m_size}; }

private:
    void release() noexcept;

    std::byte* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mappedBytes = 0; // non-zero when the block came from mmap
    bool m_adopted = false;        // a mapping made elsewhere, never recycled
};

} // namespace vemra
