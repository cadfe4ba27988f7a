#include "platform/memory_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vemra {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUseMappings = false;
#else
constexpr bool kUseMappings = true;
#endif

// Maps `bytes` (rounded up to whole huge pages) starting on a huge-page
// boundary. Fresh anonymous mappings are already zero.
std::byte* mapAligned(std::size_t bytes, std::size_t& mapped) noexcept {
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t span = length + kHugePage;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t head = aligned - start;
    const std::size_t tail = span - head - length;
    if (head != 0) {
        ::munmap(raw, head);
    }
    if (tail != 0) {
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    }
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    mapped = length;
    return reinterpret_cast<std::byte*>(aligned);
}

} // namespace

MemoryBlock::MemoryBlock(MemoryBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mappedBytes(std::exchange(other.m_mappedBytes, 0)) {}

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
    }
    return *this;
}

MemoryBlock::~MemoryBlock() {
    release();
}

void MemoryBlock::release() noexcept {
    if (m_mappedBytes != 0) {
        ::munmap(m_data, m_mappedBytes);
    } else {
        std::free(m_data);
    }
    m_data = nullptr;
    m_size = 0;
    m_mappedBytes = 0;
}

MemoryBlock MemoryBlock::allocate(std::size_t bytes) noexcept {
    MemoryBlock block;
    if (bytes == 0 || bytes > kMaxBytes) {
        return block;
    }
    if (kUseMappings && bytes >= kHugePage) {
        block.m_data = mapAligned(bytes, block.m_mappedBytes);
    } else {
        block.m_data = static_cast<std::byte*>(std::calloc(bytes, 1));
    }
    if (block.m_data != nullptr) {
        block.m_size = bytes;
    }
    return block;
}

bool MemoryBlock::resize(std::size_t bytes) noexcept {
    if (bytes == m_size) {
        return true;
    }
    if (bytes == 0) {
        release();
        return true;
    }
    if (bytes < m_size) {
        // Shrinking keeps the memory; the tail beyond the new size is cleared
        // so that a later grow hands out zero bytes again.
        std::memset(m_data + bytes, 0, m_size - bytes);
        m_size = bytes;
        return true;
    }
    MemoryBlock bigger = allocate(bytes);
    if (!bigger) {
        return false;
    }
    std::memcpy(bigger.m_data, m_data, std::min(m_size, bytes));
    *this = std::move(bigger);
    return true;
}

} // namespace vemra
