#include "platform/memory_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace vemra {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUseMappings = false;
#else
constexpr bool kUseMappings = true;
#endif

std::size_t mappedLength(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// Maps `bytes` (rounded up to whole huge pages) starting on a huge-page
// boundary. Fresh anonymous mappings are already zero.
std::byte* mapAligned(std::size_t bytes, std::size_t& mapped) noexcept {
    const std::size_t length = mappedLength(bytes);
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

// The last large mapping given back, kept for the next block of about its
// size: a viewer stepping through camera pictures frees one 36 MB picture
// and asks for the next, and clearing memory already in place costs a few
// milliseconds where touching a fresh mapping costs tens (page faults).
// Only one is kept, so at most one picture's memory lingers.
constexpr std::size_t kRecycleSmallest = std::size_t{8} << 20;
constexpr std::size_t kRecycleLargest = std::size_t{256} << 20;

struct Recycled {
    std::mutex lock;
    std::byte* data = nullptr;
    std::size_t mapped = 0;
};

Recycled& recycled() {
    static Recycled kept;
    return kept;
}

// A kept mapping for `bytes`, cleared; null when none fits (too small, or
// more than twice as large as needed).
std::byte* takeRecycled(std::size_t bytes, std::size_t& mapped) noexcept {
    const std::size_t wanted = mappedLength(bytes);
    Recycled& kept = recycled();
    std::byte* data = nullptr;
    {
        const std::lock_guard guard(kept.lock);
        if (kept.data == nullptr || kept.mapped < wanted || kept.mapped > 2 * wanted)
            return nullptr;
        data = std::exchange(kept.data, nullptr);
        mapped = std::exchange(kept.mapped, 0);
    }
    std::memset(data, 0, bytes);
    return data;
}

// Keeps a mapping being given back, or unmaps it; true when kept.
bool keepRecycled(std::byte* data, std::size_t mapped) noexcept {
    if (mapped < kRecycleSmallest || mapped > kRecycleLargest)
        return false;
    std::byte* previous = nullptr;
    std::size_t previousMapped = 0;
    {
        const std::lock_guard guard(recycled().lock);
        previous = std::exchange(recycled().data, data);
        previousMapped = std::exchange(recycled().mapped, mapped);
    }
    if (previous != nullptr)
        ::munmap(previous, previousMapped);
    return true;
}

} // namespace

MemoryBlock::MemoryBlock(MemoryBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mappedBytes(std::exchange(other.m_mappedBytes, 0)),
      m_adopted(std::exchange(other.m_adopted, false)) {}

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
        m_adopted = std::exchange(other.m_adopted, false);
    }
    return *this;
}

MemoryBlock::~MemoryBlock() {
    release();
}

void MemoryBlock::release() noexcept {
    if (m_adopted) {
        ::munmap(m_data, m_mappedBytes);
    } else if (m_mappedBytes != 0) {
        if (!keepRecycled(m_data, m_mappedBytes))
            ::munmap(m_data, m_mappedBytes);
    } else {
        std::free(m_data);
    }
    m_data = nullptr;
    m_size = 0;
    m_mappedBytes = 0;
    m_adopted = false;
}

MemoryBlock MemoryBlock::adoptMapping(std::byte* data, std::size_t bytes,
                                      std::size_t mappedBytes) noexcept {
    MemoryBlock block;
    if (data == nullptr || bytes == 0 || mappedBytes < bytes) {
        return block;
    }
    block.m_data = data;
    block.m_size = bytes;
    block.m_mappedBytes = mappedBytes;
    block.m_adopted = true;
    return block;
}

MemoryBlock MemoryBlock::allocate(std::size_t bytes) noexcept {
    MemoryBlock block;
    if (bytes == 0 || bytes > kMaxBytes) {
        return block;
    }
    if (kUseMappings && bytes >= kRecycleSmallest)
        block.m_data = takeRecycled(bytes, block.m_mappedBytes);
    if (block.m_data == nullptr && kUseMappings && bytes >= kHugePage) {
        block.m_data = mapAligned(bytes, block.m_mappedBytes);
    } else if (block.m_data == nullptr) {
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
