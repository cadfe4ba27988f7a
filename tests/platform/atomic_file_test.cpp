#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() / ("vemra-atomic-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const char* name) const { return (m_dir / name).string(); }
    std::string contents(const char* name) const {
        std::ifstream in(path(name));
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
};

std::span<const std::byte> text(const char* s) {
    return std::as_bytes(std::span(s, std::strlen(s)));
}

TEST_F(AtomicFileTest, ReplacesTheTargetOnlyOnCommit) {
    ASSERT_TRUE(writeFileAtomically(path("a.txt"), text("old")));
    {
        AtomicFile file(path("a.txt"));
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write(text("new")));
        EXPECT_EQ(contents("a.txt"), "old"); // readers still see the old file
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(contents("a.txt"), "new");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, AbandonedWriteLeavesNothingBehind) {
    ASSERT_TRUE(writeFileAtomically(path("a.txt"), text("old")));
    {
        AtomicFile file(path("a.txt"));
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write(text("half")));
    }
    EXPECT_EQ(contents("a.txt"), "old");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, FailuresAreReportedWithTheSystemText) {
    AtomicFile file((m_dir / "no" / "such" / "x").string());
    EXPECT_FALSE(file.open());
    EXPECT_FALSE(file.errorText().empty());
    EXPECT_FALSE(file.write(text("x")));
    EXPECT_FALSE(file.commit());
    // A folder in the way of the target: the rename fails and the temporary goes.
    fs::create_directory(m_dir / "folder");
    fs::create_directory(m_dir / "folder" / "inner");
    EXPECT_FALSE(writeFileAtomically((m_dir / "folder").string(), text("x")));
    EXPECT_TRUE(fs::is_directory(m_dir / "folder"));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, NewFilesFollowTheUmask) {
    const mode_t old = ::umask(022);
    ASSERT_TRUE(writeFileAtomically(path("m.txt"), text("x")));
    ::umask(old);
    struct stat status {};
    ASSERT_EQ(::stat(path("m.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

} // namespace
} // namespace vemra
