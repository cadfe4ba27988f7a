#include "platform/byte_source.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

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
    const test::TempFolder dir;
    const std::string path = dir.file("bytes.bin");
    test::writeText(path, "abcdef");
    auto source = FileSource::open(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), 6u);
    std::array<std::byte, 3> out{};
    EXPECT_TRUE(source->readAt(3, out));
    EXPECT_EQ(out[0], std::byte{'d'});
    EXPECT_FALSE(source->readAt(4, out));
    FileSource moved = std::move(*source);
    EXPECT_TRUE(moved.readAt(0, out));

    EXPECT_FALSE(FileSource::open("/nonexistent/file"));
    EXPECT_FALSE(FileSource::open(std::filesystem::temp_directory_path().string()));
}

} // namespace
} // namespace vemra
