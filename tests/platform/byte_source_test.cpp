#include "platform/byte_source.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

TEST(ByteSource, MemoryReadsStayInBounds) {
    const std::array<std::byte, 4> data{std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}};
    const MemorySource source(data);
    std::array<std::byte, 2> out{};
    EXPECT_TRUE(source.readAt(2, out));
    EXPECT_EQ(out[1], std::byte{4});
    EXPECT_FALSE(source.readAt(3, out));
    EXPECT_FALSE(source.readAt(5, std::span(out).first(0)));
    EXPECT_FALSE(source.readAt(UINT64_MAX, out));
    EXPECT_TRUE(source.readAt(4, std::span(out).first(0)));
}

TEST(ByteSource, FileReadsAndRefusals) {
    const auto path = std::filesystem::temp_directory_path() / "vemra-byte-source.bin";
    { std::ofstream(path, std::ios::binary) << "abcdef"; }
    auto source = FileSource::open(path.string());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), 6u);
    std::array<std::byte, 3> out{};
    EXPECT_TRUE(source->readAt(3, out));
    EXPECT_EQ(out[0], std::byte{'d'});
    EXPECT_FALSE(source->readAt(4, out));
    FileSource moved = std::move(*source);
    EXPECT_TRUE(moved.readAt(0, out));
    std::filesystem::remove(path);

    EXPECT_FALSE(FileSource::open("/nonexistent/file"));
    EXPECT_FALSE(FileSource::open(std::filesystem::temp_directory_path().string()));
}

} // namespace
} // namespace vemra
