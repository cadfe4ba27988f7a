#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace vemra {
namespace {

// The file names of a scan's entry lines, in display order.
std::vector<std::string> scannedNames(const std::string& out) {
    std::vector<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string position, folder, name;
        std::getline(fields, position, '\t');
        std::getline(fields, folder, '\t');
        std::getline(fields, name, '\t');
        names.push_back(name);
    }
    return names;
}

class SortCli : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string settings = "--settings " + test::shellQuoted(dir.file("none.ini")) + " ";

    void SetUp() override {
        const std::pair<const char*, int> files[] = {
            {"b.jpg", 3}, {"A.jpg", 5}, {"c.png", 5}, {"B2.jpg", 1}, {"あ.jpg", 3}};
        for (const auto& [name, size] : files)
            test::writeFile(dir.file(name), std::vector<std::byte>(static_cast<std::size_t>(size)));
    }
    test::CliRun scan(const std::string& options) {
        return test::runCli(settings + "scan " + test::shellQuoted(dir.path().string()) + " " +
                            options);
    }
};

TEST_F(SortCli, KeysApplyAsAHistoryTheLastDecidingFirst) {
    test::CliRun run = scan("--sort 0:1");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(scannedNames(run.out),
              (std::vector<std::string>{"A.jpg", "b.jpg", "B2.jpg", "c.png", "あ.jpg"}));

    // Size descending decides; names break its ties.
    run = scan("--sort 0:1 --sort 2:2");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(scannedNames(run.out),
              (std::vector<std::string>{"A.jpg", "c.png", "b.jpg", "あ.jpg", "B2.jpg"}));
    run = scan("--sort 0:2 --sort 2:2");
    EXPECT_EQ(scannedNames(run.out),
              (std::vector<std::string>{"c.png", "A.jpg", "あ.jpg", "b.jpg", "B2.jpg"}));
    // Extension ascending, then the name column again: the newer name key
    // replaces the older one and decides.
    run = scan("--sort 0:2 --sort 1:1 --sort 0:1");
    EXPECT_EQ(scannedNames(run.out),
              (std::vector<std::string>{"A.jpg", "b.jpg", "B2.jpg", "c.png", "あ.jpg"}));
    run = scan("--sort 0:1 --sort 1:2");
    EXPECT_EQ(scannedNames(run.out),
              (std::vector<std::string>{"c.png", "A.jpg", "b.jpg", "B2.jpg", "あ.jpg"}));
}

TEST_F(SortCli, BadKeysAreUsageErrors) {
    for (const char* bad : {"--sort 10:1", "--sort 0:3", "--sort 4:9", "--sort 0", "--sort x:1",
                            "--sort 0:-1", "--sort :1", "--sort 1:", "--sort"}) {
        const test::CliRun run = scan(bad);
        EXPECT_EQ(run.status, 2) << bad << "\n" << run.out;
    }
    EXPECT_EQ(scan("--sort 4:8").status, 0);
}

} // namespace
} // namespace vemra
