#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

TEST(NoteCli, SetListAndClearNotes) {
    test::TempDir dir;
    const std::string settings = "--settings " + test::shellQuoted(dir.file("s.ini")) + " ";
    test::writeFile(dir.file("a.jpg"), test::bytes({1, 2, 3}));
    const std::string picture = test::shellQuoted(dir.file("a.jpg"));
    test::CliRun run = test::runCli(settings + "note " + picture + " --set 'two\\r\\nlines\\ttab'");
    ASSERT_EQ(run.status, 0) << run.out;
    run = test::runCli(settings + "notes " + test::shellQuoted(dir.path().string()));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "\ta.jpg\ttwo\\r\\nlines\\ttab\n");
    ASSERT_EQ(test::runCli(settings + "note " + picture + " --clear").status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_NOTE_.KPI"));
    EXPECT_EQ(test::runCli(settings + "notes " + test::shellQuoted(dir.path().string())).out, "");

    EXPECT_EQ(test::runCli(settings + "note " + picture).status, 2);
    EXPECT_EQ(
        test::runCli(settings + "note " + test::shellQuoted(dir.file("none.jpg")) + " --clear")
            .status,
        1);
    EXPECT_EQ(test::runCli(settings + "notes " + test::shellQuoted(dir.file("nowhere"))).status, 1);
}

} // namespace
} // namespace vemra
