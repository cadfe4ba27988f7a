#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsPlaces places() const {
        return {m_dir.file("bin"), "vemra", m_dir.file("config"), m_dir.file("home")};
    }
    test::TempDir m_dir;
};

TEST_F(SettingsStoreTest, PortableIniBesideTheProgramWinsWhileItExists) {
    const SettingsPlaces p = places();
    fs::create_directories(p.programFolder);
    const std::string user = m_dir.file("config") + "/ZRV/Vemra.ini";
    EXPECT_EQ(userSettingsPath(p), user);
    EXPECT_EQ(chooseSettingsPath(p), user);

    const std::string portable = p.programFolder + "/vemra.ini";
    EXPECT_EQ(portableSettingsPath(p), portable);
    std::ofstream(portable) << "[KPDoc]\nScaleStep=50\n";
    EXPECT_EQ(chooseSettingsPath(p), portable);
    {
        SettingsStore store(chooseSettingsPath(p));
        EXPECT_EQ(store.getInt("KPDoc", "ScaleStep", 25), 50);
        EXPECT_TRUE(store.putInt("KPDoc", "ScaleStep", 75));
    }
    // Nothing went to the per-user file while the portable one was in use.
    EXPECT_FALSE(fs::exists(user));
    EXPECT_EQ(contents(portable), "[KPDoc]\nScaleStep=75\n");

    // Deleting the portable file moves the next run back to the per-user file.
    fs::remove(portable);
    EXPECT_EQ(chooseSettingsPath(p), user);
    SettingsStore store(chooseSettingsPath(p));
    EXPECT_EQ(store.getInt("KPDoc", "ScaleStep", 25), 25);
}

TEST_F(SettingsStoreTest, PortableNameReplacesTheProgramsExtension) {
    SettingsPlaces p = places();
    p.programName = "vemra.bin";
    EXPECT_EQ(portableSettingsPath(p), p.programFolder + "/vemra.ini");
    p.programName.clear();
    EXPECT_EQ(portableSettingsPath(p), "");
    // A folder named like the ini is no settings file.
    p.programName = "vemra";
    fs::create_directories(p.programFolder + "/vemra.ini");
    EXPECT_EQ(chooseSettingsPath(p), userSettingsPath(p));
}

TEST_F(SettingsStoreTest, PerUserFileFollowsXdgConfigHome) {
    SettingsPlaces p = places();
    p.configHome.clear();
    EXPECT_EQ(userSettingsPath(p), m_dir.file("home") + "/.config/ZRV/Vemra.ini");
    p.configHome = "relative/config"; // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(userSettingsPath(p), m_dir.file("home") + "/.config/ZRV/Vemra.ini");
}

TEST_F(SettingsStoreTest, FirstWriteCreatesTheFolderAndFile) {
    const std::string path = userSettingsPath(places());
    SettingsStore store(path);
    EXPECT_EQ(store.getText("KPDoc", "HomeFolder", "$(ExeDir)"), "$(ExeDir)");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(store.putText("KPDoc", "HomeFolder", "/home/user/写真"));
    EXPECT_TRUE(store.putInt("KPDoc", "IDViewer", 32782));
    EXPECT_TRUE(store.putInt64("Filter", "DateBegin", 5000000000LL));
    EXPECT_EQ(
        contents(path),
        "[KPDoc]\nHomeFolder=/home/user/写真\nIDViewer=32782\n[Filter]\nDateBegin=5000000000\n");
    EXPECT_EQ(store.getInt64("filter", "datebegin", 0), 5000000000LL);
    EXPECT_EQ(store.getInt64("Filter", "DateEnd", -1), -1);
    EXPECT_TRUE(store.contains("KPDOC", "homefolder"));
    EXPECT_EQ(store.sectionNames(), (std::vector<std::string>{"KPDoc", "Filter"}));
    EXPECT_EQ(store.keyNames("kpdoc"), (std::vector<std::string>{"HomeFolder", "IDViewer"}));
    EXPECT_TRUE(store.deleteKey("KPDoc", "IDViewer"));
    EXPECT_TRUE(store.deleteSection("Filter"));
    EXPECT_EQ(contents(path), "[KPDoc]\nHomeFolder=/home/user/写真\n");
}

TEST_F(SettingsStoreTest, NonNumbersReadAsZeroAndFailedWritesChangeNothing) {
    const std::string path = m_dir.file("vemra.ini");
    std::ofstream(path) << "[KPDoc]\nScaleMode=fast\nScaleStep=\n";
    ::chmod(path.c_str(), 0444);
    SettingsStore store(path);
    EXPECT_EQ(store.getInt("KPDoc", "ScaleMode", 10), 0);
    EXPECT_EQ(store.getInt("KPDoc", "ScaleStep", 25), 25);
    EXPECT_FALSE(store.putInt("KPDoc", "ScaleMode", 3));
    {
        SettingsStore::Batch batch(store);
        EXPECT_FALSE(store.putText("KPDoc", "New", "x"));
    }
    EXPECT_EQ(store.getInt("KPDoc", "ScaleMode", 10), 0);
    EXPECT_EQ(contents(path), "[KPDoc]\nScaleMode=fast\nScaleStep=\n");
}

TEST_F(SettingsStoreTest, ReadsSettingsWrittenInShiftJis) {
    const std::string path = m_dir.file("windows.ini");
    // "[KPDoc]" with HomeFolder "D:\画像\旅行" and a Japanese mask history entry.
    std::ofstream(path, std::ios::binary)
        << "[KPDoc]\r\nHomeFolder=D:\\\x89\xE6\x91\x9C\\\x97\xB7\x8D\x73\r\n"
           "[Filter]\r\nFilter0=*.jpg;\x8E\xCA\x90\x5E*.png\r\n";
    SettingsStore store(path);
    EXPECT_EQ(store.getText("KPDoc", "HomeFolder"), "D:\\画像\\旅行");
    EXPECT_EQ(store.getText("Filter", "Filter0"), "*.jpg;写真*.png");
    // Written back, the whole file becomes UTF-8 and keeps its line ends.
    ASSERT_TRUE(store.putInt("KPDoc", "ScaleStep", 30));
    EXPECT_EQ(contents(path), "[KPDoc]\r\nHomeFolder=D:\\画像\\旅行\r\nScaleStep=30\r\n"
                              "[Filter]\r\nFilter0=*.jpg;写真*.png\r\n");
}

TEST_F(SettingsStoreTest, ServesSeveralThreads) {
    SettingsStore store(m_dir.file("threads.ini"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                store.putInt(std::string("T").append(std::to_string(t)),
                             std::string("k").append(std::to_string(i)), i);
                store.getInt("T0", "k0", 0);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SettingsStore reread(m_dir.file("threads.ini"));
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(reread.keyNames(std::string("T").append(std::to_string(t))).size(), 25u);
    }
}

TEST_F(SettingsStoreTest, TheRunsStoreCanBeChosenBeforeUse) {
    const std::string path = m_dir.file("chosen.ini");
    useSettingsFile(path);
    EXPECT_EQ(settings().path(), path);
    EXPECT_TRUE(settings().putInt("S", "k", 1));
    EXPECT_EQ(SettingsStore(path).getInt("S", "k", 0), 1);
}

} // namespace
} // namespace vemra
