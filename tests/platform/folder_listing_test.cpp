#include "platform/folder_listing.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

TEST(FolderListing, ListsMatchingItemsWithTheirStatus) {
    test::TempFolder dir;
    std::ofstream(dir.file("a.JPG")) << "12345";
    std::ofstream(dir.file("b.png")) << "1";
    std::filesystem::create_directory(dir.path() / "sub.jpg");
    std::filesystem::create_symlink(dir.file("missing"), dir.file("dangling.jpg"));

    auto items = enumerateFolder(dir.path().string(), "*.jpg");
    std::sort(items.begin(), items.end(), [](auto& x, auto& y) { return x.name < y.name; });
    ASSERT_EQ(items.size(), 2u); // the dangling link is left out
    EXPECT_EQ(items[0].name, "a.JPG");
    EXPECT_TRUE(items[0].status.isFile);
    EXPECT_EQ(items[0].status.size, 5u);
    EXPECT_GT(items[0].status.lastWriteTime, 0);
    EXPECT_TRUE(items[1].status.isFolder);

    EXPECT_TRUE(enumerateFolder(dir.file("nowhere"), "*").empty());
}

TEST(FolderListing, IsInCaseInsensitiveNameOrder) {
    test::TempFolder dir;
    for (const char* name :
         {"pic10.png", "Pic2.png", "b.png", "B.png", "A.png", "日本.png", "pic1.png"})
        std::ofstream(dir.file(name)) << "x";
    std::vector<std::string> names;
    for (const auto& item : enumerateFolder(dir.path().string(), "*"))
        names.push_back(item.name);
    const std::vector<std::string> expected = {"A.png",     "B.png",    "b.png",   "pic1.png",
                                               "pic10.png", "Pic2.png", "日本.png"};
    EXPECT_EQ(names, expected);
}

} // namespace
} // namespace vemra
