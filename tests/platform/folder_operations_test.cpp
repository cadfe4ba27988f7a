#include "platform/folder_operations.h"
#include "platform/mounted_volumes.h"
#include "platform/tree_children.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(FolderOperations, CreateAndRenameNeverReplaceWhatIsThere) {
    test::TempFolder dir;
    EXPECT_EQ(createFolder(dir.file("a")), 0);
    EXPECT_EQ(createFolder(dir.file("a")), EEXIST);
    EXPECT_EQ(createFolder(dir.file("missing/b")), ENOENT);
    test::writeText(dir.file("a/keep.txt"), "keep");
    EXPECT_EQ(createFolder(dir.file("empty")), 0);

    // An empty folder under the new name is not replaced either: rename(2)
    // alone would silently drop it.
    EXPECT_EQ(renameFolder(dir.file("a"), dir.file("empty")), EEXIST);
    EXPECT_TRUE(fs::exists(dir.file("a/keep.txt")));
    EXPECT_EQ(renameFolder(dir.file("a"), dir.file("b")), 0);
    EXPECT_EQ(test::readText(dir.file("b/keep.txt")), "keep");
    EXPECT_EQ(renameFolder(dir.file("gone"), dir.file("c")), ENOENT);
    EXPECT_FALSE(systemErrorText(ENOENT).empty());
}

TEST(FolderOperations, RemovalIsDepthFirstCountedAndStopsWhenAsked) {
    test::TempFolder dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/x/y/z");
    fs::create_directories(top + "/w");
    for (const char* file : {"/1", "/x/2", "/x/y/3", "/x/y/z/4", "/w/5"}) {
        test::writeText(top + file, "data");
    }
    // A link to a folder outside is deleted as a link, never followed.
    const std::string outside = dir.file("outside");
    fs::create_directories(outside);
    test::writeText(outside + "/precious", "keep");
    fs::create_directory_symlink(outside, top + "/x/link");
    EXPECT_EQ(countFilesBelow(top), 6u);
    EXPECT_EQ(countFilesBelow(top, 3), 3u);

    int steps = 0;
    EXPECT_EQ(removeFolderTree(top, [&] { return ++steps < 2; }), ECANCELED);
    EXPECT_TRUE(fs::exists(top));
    EXPECT_EQ(removeFolderTree(top, [&] { return ++steps > 0; }), 0);
    EXPECT_FALSE(fs::exists(top));
    EXPECT_EQ(steps, 6); // one step per file: two before the stop, four after
    EXPECT_EQ(test::readText(outside + "/precious"), "keep");

    EXPECT_EQ(removeFolderTree(dir.file("none")), ENOENT);
    fs::create_directory_symlink(outside, dir.file("alias"));
    EXPECT_EQ(removeFolderTree(dir.file("alias")), ENOTDIR);
    EXPECT_TRUE(fs::exists(outside + "/precious"));
}

TEST(FolderOperations, RemovalStopsAtTheFirstFailure) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    test::TempFolder dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/locked");
    test::writeText(top + "/locked/file", "x");
    ::chmod((top + "/locked").c_str(), 0500);
    EXPECT_EQ(removeFolderTree(top), EACCES);
    ::chmod((top + "/locked").c_str(), 0700);
    EXPECT_TRUE(fs::exists(top + "/locked/file"));
}

TEST(FolderOperations, RemovalNeverReachesIntoAnotherVolume) {
    test::TempFolder dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/mnt");
    if (::mount("vemra-test", (top + "/mnt").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "mounting is not allowed here";
    }
    test::writeText(top + "/mnt/other-volume", "keep");
    EXPECT_EQ(removeFolderTree(top), EXDEV);
    EXPECT_EQ(test::readText(top + "/mnt/other-volume"), "keep");
    ::umount2((top + "/mnt").c_str(), MNT_DETACH);
}

TEST(TreeChildren, FoldersArchivesAndTheirExpandButtons) {
    test::TempFolder dir;
    fs::create_directories(dir.file("parent/empty"));
    fs::create_directories(dir.file("parent/deep/inner"));
    fs::create_directories(dir.file("parent/.hidden"));
    fs::create_directories(dir.file("parent/holds-zip"));
    test::writeText(dir.file("parent/holds-zip/a.ZIP"), "");
    test::writeText(dir.file("parent/pictures.zip"), "");
    test::writeText(dir.file("parent/photo.jpg"), "");
    fs::create_directory_symlink(dir.file("parent/deep"), dir.file("parent/link"));

    struct Case {
        bool archives;
        bool check;
        std::vector<std::string> names;
        std::vector<std::string> withChildren;
    };
    const Case cases[] = {
        {false, true, {".hidden", "deep", "empty", "holds-zip", "link"}, {"deep", "link"}},
        {true,
         true,
         {".hidden", "deep", "empty", "holds-zip", "link", "pictures.zip"},
         {"deep", "holds-zip", "link"}},
        {false,
         false,
         {".hidden", "deep", "empty", "holds-zip", "link"},
         {".hidden", "deep", "empty", "holds-zip", "link"}},
    };
    for (const Case& c : cases) {
        TreeChildQuery query;
        query.checkChildren = c.check;
        if (c.archives) {
            query.isArchiveName = [](std::string_view name) {
                return name.size() > 4 && (name.ends_with(".zip") || name.ends_with(".ZIP"));
            };
        }
        std::vector<TreeChild> children = listTreeChildren(dir.file("parent"), query);
        std::sort(children.begin(), children.end(),
                  [](const TreeChild& a, const TreeChild& b) { return a.name < b.name; });
        std::vector<std::string> names, withChildren;
        for (const TreeChild& child : children) {
            names.push_back(child.name);
            if (child.hasChildren) {
                withChildren.push_back(child.name);
            }
            EXPECT_EQ(child.isArchive, child.name == "pictures.zip");
        }
        EXPECT_EQ(names, c.names) << c.archives << c.check;
        EXPECT_EQ(withChildren, c.withChildren) << c.archives << c.check;
    }
    EXPECT_TRUE(hasTreeChildren(dir.file("parent"), {}));
    EXPECT_FALSE(hasTreeChildren(dir.file("parent/empty"), {}));
    EXPECT_TRUE(listTreeChildren(dir.file("nowhere"), {}).empty());
    TreeChildQuery few;
    few.limit = 2;
    EXPECT_EQ(listTreeChildren(dir.file("parent"), few).size(), 2u);
}

TEST(MountedVolumes, OnlyWhatAUserCallsADrive) {
    test::TempFolder dir;
    // The kernel escapes blanks and tabs in names.
    test::writeText(dir.file("mounts"), "/dev/sda2 / ext4 rw 0 0\n"
                                        "proc /proc proc rw 0 0\n"
                                        "tmpfs /run tmpfs rw 0 0\n"
                                        "/dev/sdb1 /media/me/USB\\040STICK vfat rw 0 0\n"
                                        "/dev/sda1 /boot/efi vfat rw 0 0\n"
                                        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
                                        "/dev/sda3 /home ext4 rw 0 0\n"
                                        "server:/pub /mnt/pub nfs4 rw 0 0\n"
                                        "tmpfs /mnt/ram tmpfs rw 0 0\n"
                                        "tmpfs /tmp tmpfs rw 0 0\n"
                                        "/dev/sr0 /run/media/me/DISC iso9660 ro 0 0\n"
                                        "/dev/sdc1 /home ext4 rw 0 0\n");
    const std::vector<MountedVolume> table = readMountTable(dir.file("mounts"));
    ASSERT_EQ(table.size(), 12u);
    EXPECT_EQ(table[3].mountPoint, "/media/me/USB STICK");
    std::vector<std::string> points;
    for (const MountedVolume& v : userVolumes(table)) {
        points.push_back(v.mountPoint);
    }
    EXPECT_EQ(points, (std::vector<std::string>{"/home", "/media/me/USB STICK", "/mnt/pub",
                                                "/mnt/ram", "/run/media/me/DISC"}));
    // The last mount over a folder is the one seen there.
    EXPECT_EQ(userVolumes(table).front().device, "/dev/sdc1");
    EXPECT_TRUE(readMountTable(dir.file("none")).empty());
}

} // namespace
} // namespace vemra
