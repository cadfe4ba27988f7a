#pragma once

#include "platform/memory_block.h"

#include <vemra/spi.h>

#include <cstddef>
#include <span>
#include <utility>

namespace vemra {

// Owns one memory handle received from a plug-in (made with SpiAlloc) and
// frees it with SpiFree. Its size is the block's real size as recorded in
// front of it, which is what every reader of plug-in data must check against:
// the headers inside a block are the plug-in's claims, the size is a fact.
//
// A block that came from the plug-in host is held as a memory block instead
// (the host's bytes mapped in place); it has no handle, but its bytes and
// size read the same.
class SpiBlock {
public:
    SpiBlock() noexcept = default;
    explicit SpiBlock(SpiHandle handle) noexcept : m_handle(handle) {}
    SpiBlock(SpiBlock&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)), m_memory(std::move(other.m_memory)) {}
    SpiBlock& operator=(SpiBlock&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_handle, nullptr));
            m_memory = std::move(other.m_memory);
        }
        return *this;
    }
    static SpiBlock adopt(MemoryBlock memory) noexcept {
        SpiBlock block;
        block.m_memory = std::move(memory);
        return block;
    }
    SpiBlock(const SpiBlock&) = delete;
    SpiBlock& operator=(const SpiBlock&) = delete;
    ~SpiBlock() { reset(); }

    // Frees the held block and takes `handle` instead.
    void reset(SpiHandle handle = nullptr) noexcept {
        if (m_handle != nullptr) {
            SpiFree(m_handle);
        }
        m_handle = handle;
        m_memory = MemoryBlock();
    }
    // Gives up ownership without freeing.
    SpiHandle release() noexcept { return std::exchange(m_handle, nullptr); }
    // Where a plug-in writes a new handle: frees the held one first.
    SpiHandle* receive() noexcept {
        reset();
        return &m_handle;
    }

    bool isNull() const noexcept { return m_handle == nullptr && m_memory.empty(); }
    explicit operator bool() const noexcept { return !isNull(); }
    SpiHandle handle() const noexcept { return m_handle; }
    std::size_t size() const noexcept {
        return m_handle != nullptr ? SpiSize(m_handle) : m_memory.size();
    }
    std::span<const std::byte> bytes() const noexcept {
        if (m_handle == nullptr) {
            return m_memory.bytes();
        }
        return {static_cast<const std::byte*>(m_handle), size()};
    }
    std::span<std::byte> bytes() noexcept {
        if (m_handle == nullptr) {
            return m_memory.bytes();
        }
        return {static_cast<std::byte*>(m_handle), size()};
    }

private:
    SpiHandle m_handle = nullptr;
    MemoryBlock m_memory;
};

} // namespace vemra
