#include "app/plugin_folder.h"
#include "app/standard_switches.h"
#include "platform/install_layout.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(InstalledFolder, FoundFromTheProgramsFolderWhereverThePrefixLies) {
    const struct {
        InstalledFolder folder;
        const char* bin;
        const char* expected;
    } cases[] = {
        {InstalledFolder::Plugins, "/usr/bin", "/usr/lib/vemra/plugins"},
        {InstalledFolder::Helpers, "/usr/bin", "/usr/libexec/vemra"},
        {InstalledFolder::Data, "/opt/v/bin", "/opt/v/share/vemra"},
        {InstalledFolder::Documents, "/tmp/x/usr/bin/", "/tmp/x/usr/share/doc/vemra"},
        // A program folder given with "." and ".." still finds its prefix.
        {InstalledFolder::Plugins, "/a/./b/../usr/bin", "/a/usr/lib/vemra/plugins"},
        {InstalledFolder::Data, "usr/bin", "usr/share/vemra"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(installedFolder(c.folder, c.bin), fs::path(c.expected)) << c.bin;
    }
}

// A prefix in a temporary folder: <dir>/bin for the program, with what the
// case puts beside it and in the installed places.
struct Layout {
    test::TempDir dir;
    fs::path bin() const { return dir.path() / "bin"; }
    Layout() { fs::create_directories(bin()); }
    void folder(const fs::path& relative) { fs::create_directories(dir.path() / relative); }
    void file(const fs::path& relative) {
        fs::create_directories((dir.path() / relative).parent_path());
        std::ofstream(dir.path() / relative) << "x";
    }
};

TEST(PluginFolder, SettingThenBesideTheProgramThenTheBuildsThenTheInstalledOnes) {
    enum Has { Nothing = 0, SpiBeside = 1, PluginsBeside = 2, Installed = 4 };
    const struct {
        const char* configured;
        int has;
        const char* expected; // relative to the prefix
    } cases[] = {
        {"/opt/spi", SpiBeside | PluginsBeside | Installed, "/opt/spi"},
        {"", Nothing, "bin"},
        {"", Installed, "lib/vemra/plugins"},
        {"$(ExeDir)", Installed, "lib/vemra/plugins"},
        {"", PluginsBeside | Installed, "bin/plugins"},
        {"$(ExeDir)", PluginsBeside, "bin/plugins"},
        // Plug-ins copied beside the program come first.
        {"", SpiBeside | PluginsBeside | Installed, "bin"},
    };
    for (const auto& c : cases) {
        Layout layout;
        if (c.has & SpiBeside)
            layout.file("bin/webp.SPI");
        if (c.has & PluginsBeside)
            layout.folder("bin/plugins");
        if (c.has & Installed)
            layout.folder("lib/vemra/plugins");
        const fs::path expected =
            *c.expected == '/' ? fs::path(c.expected) : layout.dir.path() / c.expected;
        EXPECT_EQ(choosePluginFolder(c.configured, layout.bin().string()), expected.string())
            << c.configured << " " << c.has;
    }
}

TEST(ShippedDefinitions, BesideTheProgramElseInstalled) {
    Layout layout;
    // Neither place: the folder beside the program, where a user may put one.
    EXPECT_EQ(shippedDefinitionFolder(layout.bin(), "catalogs"), layout.bin() / "catalogs");

    layout.folder("share/vemra/catalogs");
    layout.file("share/vemra/print/a.dps");
    EXPECT_EQ(shippedDefinitionFolder(layout.bin(), "catalogs"),
              layout.dir.path() / "share/vemra/catalogs");
    EXPECT_EQ(shippedDefinitionFolder(layout.bin(), "print"),
              layout.dir.path() / "share/vemra/print");

    // The build tree's copy beside the program comes first.
    layout.folder("bin/catalogs");
    EXPECT_EQ(shippedDefinitionFolder(layout.bin(), "catalogs"), layout.bin() / "catalogs");
    // A file named like the folder is not the folder.
    layout.file("bin/print");
    EXPECT_EQ(shippedDefinitionFolder(layout.bin(), "print"),
              layout.dir.path() / "share/vemra/print");
}

TEST(StandardSwitches, VersionAndHelpFirstElseTheProgramStarts) {
    EXPECT_EQ(standardSwitchAnswer({"--version"}), std::string("vemra ") + VEMRA_VERSION + "\n");
    const auto help = standardSwitchAnswer({"--help", "/pictures"});
    ASSERT_TRUE(help.has_value());
    EXPECT_NE(help->find("Usage: vemra"), std::string::npos);
    EXPECT_NE(help->find("-nologo"), std::string::npos);
    // Anything else, or a folder named so after the first argument, starts it.
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"-nologo"}, {"/pictures", "--version"}, {"-version"}, {"--versions"}}) {
        EXPECT_EQ(standardSwitchAnswer(arguments), std::nullopt) << arguments.size();
    }
}

} // namespace
} // namespace vemra
