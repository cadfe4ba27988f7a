// vemra-cli scan over a real folder: plain files, a zip archive read by the
// shipped archive plug-in, a sub-folder and a folder-information file.

#include "../imaging/test_support.h"
#include "imaging/jpeg_encoder.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vemra {
namespace {

struct ScanRun {
    int status = -1;
    std::vector<std::vector<std::string>> rows; // tab-separated entry lines
    std::vector<std::string> statusLines;       // lines after "#"
};

ScanRun scan(const std::string& arguments) {
    const std::string command = std::string("'") + VEMRA_CLI_PATH +
                                "' --settings /nonexistent/vemra.ini scan " + arguments +
                                " 2>/dev/null";
    ScanRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::string out;
    std::array<char, 4096> buffer{};
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), got);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '#') {
            run.statusLines.push_back(line.substr(1));
            continue;
        }
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        run.rows.push_back(fields);
    }
    return run;
}

std::vector<std::string> names(const ScanRun& run) {
    std::vector<std::string> n;
    for (const auto& row : run.rows)
        n.push_back(row.size() > 2 ? row[2] : "?");
    std::sort(n.begin(), n.end());
    return n;
}

class ScanCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::byte> jpeg;
        ASSERT_TRUE(encodeJpeg(test::patternPicture(32, 24, 24), JpegOptions{}, jpeg));
        test::writeFile(dir.file("a.jpg"), jpeg);
        std::ofstream(dir.file("b.txt")) << "not a picture";
        std::filesystem::create_directory(dir.path() / "sub");
        test::writeFile(dir.file("sub/c.jpg"), jpeg);
        ASSERT_TRUE(test::writeArchive(dir.file("set.zip"), "zip", "",
                                       {{"pics/x.jpg", jpeg}, {"y.txt", test::bytes({'h', 'i'})}}));
    }
    std::string folder() const { return test::shellQuoted(dir.path().string()); }
    std::string plugins() const { return std::string(" --plugins '") + VEMRA_PLUGIN_DIR + "'"; }
    test::TempDir dir;
};

TEST_F(ScanCliTest, PlainListingAndStatusTexts) {
    const ScanRun run = scan(folder());
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(names(run), (std::vector<std::string>{"a.jpg", "b.txt", "set.zip"}));
    for (std::size_t i = 0; i < run.rows.size(); ++i) {
        ASSERT_EQ(run.rows[i].size(), 11u);
        EXPECT_EQ(run.rows[i][0], std::to_string(i));
        EXPECT_EQ(run.rows[i][1], dir.path().string());
    }
    ASSERT_EQ(run.statusLines.size(), 3u);
    EXPECT_EQ(run.statusLines[0], "選択 0 ﾌｧｲﾙ(0.0B)");
    EXPECT_EQ(run.statusLines[1].rfind("全 3 ﾌｧｲﾙ(", 0), 0u);
}

TEST_F(ScanCliTest, ArchivesSubFoldersAndIdentification) {
    const ScanRun run = scan(folder() + " --archives --subfolders --scan-spi" + plugins());
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(names(run), (std::vector<std::string>{"a.jpg", "c.jpg", "x.jpg"}));
    for (const auto& row : run.rows) {
        if (row[2] == "x.jpg") {
            // The member's own name, without the folder inside the archive.
            EXPECT_EQ(row[3], "set.zip");
            EXPECT_EQ(row[6], "1700000000");
        }
        if (row[2] == "c.jpg") {
            EXPECT_EQ(row[1], dir.path().string() + "/sub");
        }
    }
    // Filtering by size and mask.
    const ScanRun small = scan(folder() + " --mask '*.TXT' --size-max 100");
    EXPECT_EQ(names(small), (std::vector<std::string>{"b.txt"}));
}

TEST_F(ScanCliTest, AnArchiveFileGivenAsTheFolderListsItsMembers) {
    const ScanRun run = scan(test::shellQuoted(dir.file("set.zip")) + plugins());
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(names(run), (std::vector<std::string>{"x.jpg", "y.txt"}));
}

TEST_F(ScanCliTest, StoredFolderInformationComesFirst) {
    std::ofstream(dir.file("DIRINFO.KPI"))
        << "[Document]\nMaxCount=1\nDataVersion=2\n[1]\nSPIName=--jpg--\n"
           "FileName=a.jpg\nWidth=32\nHeight=24\nBitCount=24\nLastWriteTime=1\n";
    const ScanRun run = scan(folder() + " --cache-first");
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.rows.size(), 3u); // a.jpg once; the information file itself is not listed
    EXPECT_EQ(run.rows[0][2], "a.jpg");
    EXPECT_EQ(run.rows[0][8], "32");
    // The file changed since (its time differs), so the decoder must be found again.
    EXPECT_EQ(run.rows[0][7], "");
}

TEST_F(ScanCliTest, Errors) {
    EXPECT_EQ(scan(test::shellQuoted(dir.file("missing"))).status, 1);
    EXPECT_EQ(scan(folder() + " --date-from 2024-13-01").status, 2);
    EXPECT_EQ(scan("").status, 2);
}

} // namespace
} // namespace vemra
