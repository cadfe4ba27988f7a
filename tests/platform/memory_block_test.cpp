#include "platform/memory_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace vemra {
namespace {

bool allZero(std::span<const std::byte> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

TEST(MemoryBlock, SmallAndLargeBlocksStartZeroed) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{5} << 20}) {
        MemoryBlock block = MemoryBlock::allocate(size);
        ASSERT_EQ(block.size(), size);
        EXPECT_TRUE(allZero(block.bytes()));
        block.bytes().back() = std::byte{1}; // the whole range is writable
    }
}

TEST(MemoryBlock, LargeBlocksAreHugePageAligned) {
    const MemoryBlock block = MemoryBlock::allocate(std::size_t{3} << 20);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % (std::size_t{2} << 20), 0u);
#endif
    EXPECT_EQ(block.size(), std::size_t{3} << 20);
}

TEST(MemoryBlock, RefusesEmptyAndOversizedRequests) {
    EXPECT_TRUE(MemoryBlock::allocate(0).empty());
    EXPECT_TRUE(MemoryBlock::allocate(MemoryBlock::kMaxBytes + 1).empty());
    EXPECT_TRUE(MemoryBlock::allocate(SIZE_MAX).empty());
}

TEST(MemoryBlock, ResizeKeepsContentAndZeroFillsGrowth) {
    MemoryBlock block = MemoryBlock::allocate(16);
    for (std::size_t i = 0; i < 16; ++i) {
        block.bytes()[i] = static_cast<std::byte>(i + 1);
    }
    ASSERT_TRUE(block.resize(8));
    ASSERT_TRUE(block.resize(std::size_t{3} << 20)); // across the mapping threshold
    EXPECT_EQ(block.bytes()[7], std::byte{8});
    EXPECT_TRUE(allZero(block.bytes().subspan(8)));
    EXPECT_FALSE(block.resize(MemoryBlock::kMaxBytes + 1));
    EXPECT_EQ(block.size(), std::size_t{3} << 20);
    ASSERT_TRUE(block.resize(0));
    EXPECT_TRUE(block.empty());
}

TEST(MemoryBlock, MovesTransferOwnership) {
    MemoryBlock a = MemoryBlock::allocate(32);
    std::byte* data = a.data();
    MemoryBlock b = std::move(a);
    EXPECT_EQ(b.data(), data);
    EXPECT_TRUE(a.empty()); // NOLINT(bugprone-use-after-move)
    a = std::move(b);
    EXPECT_EQ(a.data(), data);
}

} // namespace
} // namespace vemra
