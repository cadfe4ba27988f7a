#include "document/access_key_file.h"
#include "document/ini_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vemra {
namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(AccessKeyFile, LockPathKeepsFolderAndBaseName) {
    EXPECT_EQ(AccessKeyFile::lockPathFor("/a/b/DIRINFO.KPI"), "/a/b/DIRINFO.ACF");
    EXPECT_EQ(AccessKeyFile::lockPathFor("/a.d/noext"), "/a.d/noext.ACF");
    EXPECT_EQ(AccessKeyFile::lockPathFor("x.tar.gz"), "x.tar.ACF");
}

TEST(AccessKeyFile, TakesWritesAndReleasesTheLock) {
    test::TempDir dir;
    const std::string guarded = dir.file("info.ini");
    std::ofstream(guarded) << "[S]\nK=1\n";
    const std::string lock = AccessKeyFile::lockPathFor(guarded);
    {
        IniStore ini;
        ASSERT_TRUE(ini.open(guarded, 1));
        EXPECT_EQ(contentOf(lock), std::string(AccessKeyFile::kContent) + "\n");
        // Another reader gives up after its retries while the lock is held.
        IniStore other;
        EXPECT_FALSE(other.open(guarded, 2));
        EXPECT_TRUE(other.sections().empty());
        // Retry count 0 neither checks nor writes a lock.
        IniStore unlocked;
        EXPECT_TRUE(unlocked.open(guarded, 0));
        ini.close();
        EXPECT_FALSE(std::filesystem::exists(lock));
    }
    {
        AccessKeyFile a;
        ASSERT_TRUE(a.acquire(guarded, 1));
        AccessKeyFile moved = std::move(a);
        EXPECT_FALSE(a.holdsLock());
        EXPECT_TRUE(moved.holdsLock());
        // A waiter with -1 can be told to stop.
        AccessKeyFile waiter;
        int polls = 0;
        EXPECT_FALSE(waiter.acquire(guarded, -1, [&] { return ++polls >= 2; }));
        EXPECT_EQ(polls, 2);
    }
    EXPECT_FALSE(std::filesystem::exists(lock)); // destruction released it
}

} // namespace
} // namespace vemra
