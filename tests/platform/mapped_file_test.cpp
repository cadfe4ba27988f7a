#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vemra {
namespace {

TEST(MappedFile, MapsFromAnOffsetAcrossPages) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vemra-mapped-" + std::to_string(::getpid()) + ".bin");
    std::string content(10000, 'x');
    content[4097] = 'A';
    content.back() = 'Z';
    { std::ofstream(path, std::ios::binary) << content; }

    auto whole = MappedFile::open(path.string());
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 10000u);
    auto tail = MappedFile::open(path.string(), 4097);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->size(), 10000u - 4097);
    EXPECT_EQ(tail->bytes()[0], std::byte{'A'});
    EXPECT_EQ(tail->bytes().back(), std::byte{'Z'});
    // Moving keeps the mapping alive in the new owner.
    MappedFile moved = std::move(*tail);
    EXPECT_EQ(moved.bytes()[0], std::byte{'A'});
    EXPECT_TRUE(tail->bytes().empty());

    auto atEnd = MappedFile::open(path.string(), 10000);
    ASSERT_TRUE(atEnd);
    EXPECT_TRUE(atEnd->bytes().empty());
    MappedFile::Error error = MappedFile::Error::None;
    EXPECT_FALSE(MappedFile::open(path.string(), 10001, &error));
    EXPECT_EQ(error, MappedFile::Error::Read);
    EXPECT_FALSE(MappedFile::open(path.string() + ".missing", 0, &error));
    EXPECT_EQ(error, MappedFile::Error::Open);
    EXPECT_FALSE(MappedFile::open(std::filesystem::temp_directory_path().string(), 0, &error));
    EXPECT_EQ(error, MappedFile::Error::Open);
    std::filesystem::remove(path);
}

} // namespace
} // namespace vemra
