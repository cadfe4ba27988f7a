#include "app/command_line.h"
#include "app/first_folder.h"
#include "settings/settings_store.h"
#include "views/window_placement.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(CommandLineInfo, SwitchesWithDashOrSlashAndTheirValues) {
    EXPECT_FALSE(CommandLineInfo({"-nologo"}).wantsSplash());
    EXPECT_FALSE(CommandLineInfo({"/nologo"}).wantsSplash());
    EXPECT_TRUE(CommandLineInfo().wantsSplash());
    // Names are compared byte for byte.
    EXPECT_TRUE(CommandLineInfo({"-NOLOGO"}).wantsSplash());

    const CommandLineInfo line({"-x", "value", "-nologo", "-y"});
    EXPECT_EQ(line.switchValue("x"), "value");
    EXPECT_EQ(line.switchValue("nologo"), "TRUE");
    EXPECT_EQ(line.switchValue("y"), "TRUE");
    EXPECT_EQ(line.switchValue("z"), std::nullopt);
}

TEST(CommandLineInfo, AnExistingAbsolutePathIsNeverASwitch) {
    test::TempDir dir;
    // "/tmp"-like single-component paths that exist are folders, not switches.
    const CommandLineInfo root({"/"});
    EXPECT_EQ(root.rawText(), "/");
    const CommandLineInfo tmp({"/tmp"});
    EXPECT_FALSE(tmp.hasSwitch("tmp"));
    EXPECT_EQ(tmp.rawText(), "/tmp");
    const CommandLineInfo deep({dir.path().string(), "-nologo"});
    EXPECT_EQ(deep.rawText(), dir.path().string());
    EXPECT_FALSE(deep.wantsSplash());
}

TEST(CommandLineInfo, FolderTextIsTheFirstPlainArgumentQuotedWhenItHoldsACommaOrBlank) {
    EXPECT_EQ(CommandLineInfo({"-nologo", "/p/a,b", "/q"}).rawText(), "\"/p/a,b\"");
    EXPECT_EQ(CommandLineInfo({"/p/a b"}).rawText(), "\"/p/a b\"");
    // A launcher that kept the quotes passes them through unchanged.
    EXPECT_EQ(CommandLineInfo({"\"/p/a,b\""}).rawText(), "\"/p/a,b\"");
    EXPECT_EQ(CommandLineInfo({"-nologo"}).rawText(), "");
}

class FirstFolderTest : public ::testing::Test {
protected:
    FirstFolderTest() : m_store(m_dir.file("vemra.ini")) {
        fs::create_directories(m_dir.path() / "bin");
        fs::create_directories(m_dir.path() / "cwd");
        fs::create_directories(m_dir.path() / "a,b");
    }
    FirstFolderPlaces places() const { return {m_dir.file("bin"), m_dir.file("cwd")}; }
    std::string choose(const std::vector<std::string>& arguments) {
        return chooseFirstFolder(CommandLineInfo(arguments), m_store, places());
    }

    test::TempDir m_dir;
    SettingsStore m_store;
};

TEST_F(FirstFolderTest, CommandLineFolderIsTakenWholeWithoutItsTrailingSlash) {
    EXPECT_EQ(choose({m_dir.file("a,b")}), m_dir.file("a,b"));
    EXPECT_EQ(choose({m_dir.file("a,b") + "/"}), m_dir.file("a,b"));
    // Appended piece by piece: GCC 12 in Release warns falsely (-Wrestrict)
    // about "literal" + std::string.
    std::string quoted(1, '"');
    quoted += m_dir.file("a,b");
    quoted += "/\"";
    EXPECT_EQ(choose({quoted}), m_dir.file("a,b"));
    EXPECT_EQ(choose({"/"}), "/");
    // A relative folder is made absolute against the current directory.
    EXPECT_EQ(choose({"sub/"}), m_dir.file("cwd") + "/sub");
    // A command-line folder wins over a restored one.
    m_store.putText("DrvView", "Path", m_dir.file("bin"));
    EXPECT_EQ(choose({"-nologo", m_dir.file("a,b")}), m_dir.file("a,b"));
}

TEST_F(FirstFolderTest, WithoutArgumentsTheHomeOrLastFolder) {
    // Nothing stored: the current directory.
    EXPECT_EQ(choose({}), m_dir.file("cwd"));
    EXPECT_EQ(choose({"-nologo"}), m_dir.file("cwd"));
    m_store.putText("KPDoc", "HomeFolder", "$(ExeDir)");
    EXPECT_EQ(choose({}), m_dir.file("bin"));
    m_store.putText("KPDoc", "HomeFolder", m_dir.file("a,b"));
    EXPECT_EQ(choose({}), m_dir.file("a,b"));

    // RestoreFolder (on by default) prefers the folder of the last run.
    m_store.putText("DrvView", "Path", m_dir.file("bin") + "/");
    EXPECT_EQ(choose({}), m_dir.file("bin"));
    m_store.putInt("KPDoc", "RestoreFolder", 0);
    EXPECT_EQ(choose({}), m_dir.file("a,b"));
}

TEST(WindowPlacement, NothingStoredUntilFlagsIsWrittenThenARoundTrip) {
    test::TempDir dir;
    SettingsStore store(dir.file("vemra.ini"));
    EXPECT_EQ(WindowPlacement::load(store), std::nullopt);
    store.putText("WindowPlacement", "rcNormalPosition", "1,2,3,4");
    EXPECT_EQ(WindowPlacement::load(store), std::nullopt);

    WindowPlacement placement;
    placement.flags = 2;
    placement.showCmd = WindowPlacement::kShowMaximized;
    placement.minPosition = {-1, -1};
    placement.maxPosition = {-8, -8};
    placement.normalPosition = {100, 50, 900, 650};
    placement.save(store);
    EXPECT_EQ(store.getText("WindowPlacement", "rcNormalPosition"), "100,50,900,650");
    EXPECT_EQ(store.getText("WindowPlacement", "ptMaxPosition"), "-8,-8");
    EXPECT_EQ(store.getText("WindowPlacement", "showCmd"), "3");
    EXPECT_EQ(WindowPlacement::load(store), placement);

    // Damaged values read as numbers where they can.
    store.putText("WindowPlacement", "rcNormalPosition", "10,x");
    EXPECT_EQ(WindowPlacement::load(store)->normalPosition, (IntRect{10, 0, 0, 0}));
}

} // namespace
} // namespace vemra
