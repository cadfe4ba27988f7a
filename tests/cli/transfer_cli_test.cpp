#include "../imaging/test_support.h"
#include "../plugin/plugin_test_support.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class TransferCli : public ::testing::Test {
protected:
    test::CliRun run(const std::string& arguments) { return test::runCli(m_settings + arguments); }
    std::string q(const std::string& name) { return test::shellQuoted(m_dir.file(name)); }
    void put(const std::string& name, const std::string& text) {
        fs::create_directories(fs::path(m_dir.file(name)).parent_path());
        std::ofstream(m_dir.file(name), std::ios::binary) << text;
    }
    std::string content(const std::string& name) {
        std::ifstream in(m_dir.file(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    test::TempDir m_dir;
    std::string m_settings = "--settings " + test::shellQuoted(m_dir.file("s.ini")) + " ";
};

TEST_F(TransferCli, CopyMoveAndDeleteReportEveryFileAndCarryNotes) {
    put("src/a.jpg", "A");
    put("src/b.jpg", "B");
    put("dst/b.jpg", "old");
    ASSERT_EQ(run("note " + q("src/a.jpg") + " --set memo").status, 0);
    test::CliRun r = run("copy " + q("src/a.jpg") + " " + q("src/b.jpg") + " " + q("dst"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "copied\t" + m_dir.file("src/a.jpg") + "\t" + m_dir.file("dst/a.jpg") +
                         "\nskipped\t" + m_dir.file("src/b.jpg") + "\t" + m_dir.file("dst/b.jpg") +
                         "\n");
    EXPECT_EQ(content("dst/b.jpg"), "old");
    EXPECT_EQ(run("notes " + q("dst")).out, "\ta.jpg\tmemo\n");

    r = run("copy " + q("src/b.jpg") + " " + q("dst") + " --same 4");
    EXPECT_EQ(content("dst/b-2.jpg"), "B");
    r = run("move " + q("src/a.jpg") + " " + q("moved") + " --same 1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(m_dir.file("src/a.jpg")));
    EXPECT_EQ(run("notes " + q("moved")).out, "\ta.jpg\tmemo\n");
    EXPECT_EQ(run("notes " + q("src")).out, "");

    r = run("delete " + q("moved/a.jpg") + " " + q("missing.jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("deleted\t" + m_dir.file("moved/a.jpg") + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("failed\t" + m_dir.file("missing.jpg")), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir.file("moved/a.jpg")));
    EXPECT_FALSE(fs::exists(m_dir.file("moved/_NOTE_.KPI")));

    EXPECT_EQ(run("copy " + q("src/b.jpg")).status, 2);
    EXPECT_EQ(run("copy " + q("src/b.jpg") + " " + q("dst") + " --same 3").status, 2);
    EXPECT_EQ(run("copy " + q("src/b.jpg") + " " + q("dst") + " --same 9").status, 2);
    EXPECT_EQ(run("delete").status, 2);
}

TEST_F(TransferCli, UnpackWritesEveryMemberSideBySideWithItsTime) {
    const std::string archive = m_dir.file("album.zip");
    ASSERT_TRUE(test::writeArchive(archive, "zip", "",
                                   {{"夏/海.jpg", test::bytes({1, 2, 3}), 1600000000},
                                    {"冬/雪.jpg", test::bytes({4, 5}), 1500000000}}));
    const test::CliRun r = run("unpack " + q("album.zip") + " " + q("out"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("extracted\t" + m_dir.file("out/海.jpg")), std::string::npos);
    EXPECT_EQ(content("out/雪.jpg"), std::string("\x04\x05"));
    struct stat status {};
    ASSERT_EQ(::stat(m_dir.file("out/海.jpg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1600000000);
    put("plain.txt", "not an archive");
    EXPECT_EQ(run("unpack " + q("plain.txt") + " " + q("out")).status, 1);
    EXPECT_EQ(run("unpack " + q("album.zip")).status, 2);
}

} // namespace
} // namespace vemra
