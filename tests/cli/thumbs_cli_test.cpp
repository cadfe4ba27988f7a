#include "../imaging/test_support.h"
#include "imaging/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <regex>

namespace vemra {
namespace {

// The counts of the one line thumbs prints, without the time.
std::string counts(const std::string& out) {
    static const std::regex line(
        R"(^(made \d+ loaded \d+ failed \d+) ms-per-thumbnail \d+\.\d\d\n$)");
    std::smatch m;
    return std::regex_match(out, m, line) ? m[1].str() : "unexpected output: " + out;
}

class ThumbsCli : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string pictures;
    std::string settings;

    ThumbsCli() {
        pictures = (dir.path() / "pictures").string();
        std::filesystem::create_directories(pictures);
        std::vector<std::byte> jpeg;
        EXPECT_TRUE(encodeJpeg(test::patternPicture(320, 240, 24), JpegOptions{}, jpeg));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            test::writeFile(pictures + "/" + name, jpeg);
        test::writeFile(pictures + "/notes.dat", test::bytes({1, 2, 3, 4}));
        // An empty central folder keeps the thumbnails beside the pictures.
        std::ofstream(dir.file("settings.ini")) << "[KPDoc]\nCacheDataFolder=\n";
        settings = " --settings " + test::shellQuoted(dir.file("settings.ini"));
    }

    test::CliRun thumbs(const std::string& more = "") {
        return test::runCli("thumbs " + test::shellQuoted(pictures) + more + settings, false);
    }
};

TEST_F(ThumbsCli, SecondRunLoadsEverythingTheFirstMade) {
    test::CliRun run = thumbs();
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(counts(run.out), "made 3 loaded 0 failed 1");
    EXPECT_TRUE(std::filesystem::exists(pictures + "/_THUMBS_.KPI"));
    run = thumbs();
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(counts(run.out), "made 0 loaded 3 failed 1");

    // A rewritten picture is made again, the others still come from the file.
    std::vector<std::byte> other;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(200, 300, 24), JpegOptions{}, other));
    test::writeFile(pictures + "/b.jpg", other);
    EXPECT_EQ(counts(thumbs().out), "made 1 loaded 2 failed 1");
}

// Two threads make the same thumbnails as one: the same records, each file
// holding them in the order they were finished.
TEST_F(ThumbsCli, TwoThreadsMakeTheSameRecordsAsOne) {
    const std::string one = dir.file("one");
    const std::string two = dir.file("two");
    test::CliRun run = thumbs(" -j 1 --cache-folder " + test::shellQuoted(one));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(counts(run.out), "made 3 loaded 0 failed 1");
    run = thumbs(" -j 2 --cache-folder " + test::shellQuoted(two));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(counts(run.out), "made 3 loaded 0 failed 1");
    auto sorted = [](std::vector<std::byte> bytes) {
        std::sort(bytes.begin(), bytes.end());
        return bytes;
    };
    EXPECT_EQ(sorted(test::readFile(one + "/00000000.kpt")),
              sorted(test::readFile(two + "/00000000.kpt")));
}

TEST_F(ThumbsCli, CentralCacheFolderAndSize) {
    const std::string central = dir.file("central");
    test::CliRun run = thumbs(" --size 80x60 --cache-folder " + test::shellQuoted(central));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(counts(run.out), "made 3 loaded 0 failed 1");
    EXPECT_TRUE(std::filesystem::exists(central + "/_cache_.lst"));
    EXPECT_TRUE(std::filesystem::exists(central + "/00000000.kpt"));
    EXPECT_FALSE(std::filesystem::exists(pictures + "/_THUMBS_.KPI"));
    run = thumbs(" --cache-folder " + test::shellQuoted(central));
    EXPECT_EQ(counts(run.out), "made 0 loaded 3 failed 1");
}

TEST_F(ThumbsCli, UsageAndMissingFolder) {
    EXPECT_EQ(thumbs(" --size 5x5").status, 2);
    EXPECT_EQ(thumbs(" --size big").status, 2);
    EXPECT_EQ(thumbs(" --frobnicate").status, 2);
    EXPECT_EQ(thumbs(" -j 0").status, 2);
    EXPECT_EQ(thumbs(" -j two").status, 2);
    EXPECT_EQ(test::runCli("thumbs" + settings, false).status, 2);
    EXPECT_EQ(
        test::runCli("thumbs " + test::shellQuoted(dir.file("absent")) + settings, false).status,
        1);
}

} // namespace
} // namespace vemra
