#include "platform/staged_files.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

TEST(StagedFiles, ReplaceTargetsOnlyOnCommit) {
    test::TempFolder folder;
    const std::string kept = folder.file("page.htm");
    test::writeText(kept, "old");
    {
        StagedFiles run;
        test::writeText(run.stage(kept), "new");
        test::writeText(run.stage(folder.file("thumb.jpg")), "jpg");
        run.stage(folder.file("never-written.jpg"));
        // Dropped without commit: the old page stays, nothing new appears.
    }
    EXPECT_EQ(test::readText(kept), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    StagedFiles run;
    test::writeText(run.stage(kept), "new");
    test::writeText(run.stage(folder.file("thumb.jpg")), "jpg");
    run.stage(folder.file("never-written.jpg"));
    ASSERT_TRUE(run.commit());
    EXPECT_EQ(test::readText(kept), "new");
    EXPECT_EQ(test::readText(folder.file("thumb.jpg")), "jpg");
    EXPECT_FALSE(std::filesystem::exists(folder.file("never-written.jpg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

} // namespace
} // namespace vemra
