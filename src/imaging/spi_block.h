#pragma once

#include <vemra/spi.h>

#include <cstddef>
#include <span>
#include <utility>

namespace vemra {

// Owns one memory handle received from a plug-in (made with SpiAlloc) and
// frees it with SpiFree. Its size is the block's real size as recorded in
// front of it, which is what every reader of plug-in data must check against:
// the headers inside a block are the plug-in's claims, the size is a fact.
class SpiBlock {
public:
    SpiBlock() noexcept = default;
    explicit SpiBlock(SpiHandle handle) noexcept : m_handle(handle) {}
    SpiBlock(SpiBlock&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    SpiBlock& operator=(SpiBlock&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_handle, nullptr));
        }
        return *this;
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
    }
    // Gives up ownership without freeing.
    SpiHandle release() noexcept { return std::exchange(m_handle, nullptr); }
    // Where a plug-in writes a new handle: frees the held one first.
    SpiHandle* receive() noexcept {
        reset();
        return &m_handle;
    }

    bool isNull() const noexcept { return m_handle == nullptr; }
    explicit operator bool() const noexcept { return m_handle != nullptr; }
    SpiHandle handle() const noexcept { return m_handle; }
    std::size_t size() const noexcept { return SpiSize(m_handle); }
    std::span<const std::byte> bytes() const noexcept {
        return {static_cast<const std::byte*>(m_handle), size()};
    }
    std::span<std::byte> bytes() noexcept { return {static_cast<std::byte*>(m_handle), size()}; }

private:
    SpiHandle m_handle = nullptr;
};

} // namespace vemra
