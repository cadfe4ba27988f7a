// vemra-cli catalog, report and contact-sheet: the output products of the
// pictures named on the line, with every shipped catalog definition.

#include "../imaging/test_support.h"
#include "imaging/bmp_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class OutputCli : public ::testing::Test {
protected:
    OutputCli() {
        for (int i = 0; i < 10; ++i) {
            const std::string name = m_dir.file("p" + std::to_string(i) + ".bmp");
            writeBmpFile(name, test::patternPicture(40 + i, 30, 24));
            m_files += " " + test::shellQuoted(name);
        }
    }
    test::CliRun run(const std::string& arguments) {
        return test::runCli("--settings " + test::shellQuoted(m_dir.file("s.ini")) + " " +
                            arguments);
    }
    static std::string catalogs() { return std::string(VEMRA_SOURCE_DIR) + "/samples/catalogs/"; }

    test::TempDir m_dir;
    std::string m_files;
};

TEST_F(OutputCli, EveryShippedDefinitionMakesACatalog) {
    struct Case {
        const char* definition;
        const char* options;
        int pages;
        const char* thumbnail; // a file the run must have written
        const char* text;      // a line the first page must hold
    } const cases[] = {
        {"plain-list.kpm", "--per-page 4", 3, nullptr, "<LI><A HREF=\"../p0.bmp\">p0.bmp</A>"},
        {"thumbnail-table.kpm", "--link 1 --table 4x2 --thumbs-folder thumbs", 2,
         "thumbs/Ve-p9.jpg", "<TD WIDTH=\"25%\">"},
        {"gallery-html5.kpm", "--link 2 --quant 8 --thumbs-folder img", 1, "img/Ve-p0.png",
         "<img src=\"img/Ve-p0.png\" width=\"200\" height=\"150\""},
    };
    for (const Case& c : cases) {
        const std::string out = m_dir.file(std::string("out-") + c.definition);
        const auto r = run("catalog" + m_files + " --definition " +
                           test::shellQuoted(catalogs() + c.definition) + " -o " +
                           test::shellQuoted(out) + " " + c.options);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(fs::exists(fs::path(out) / "catalog.htm"));
        EXPECT_EQ(fs::exists(fs::path(out) / ("catalog-" + std::to_string(c.pages) + ".htm")),
                  c.pages > 1)
            << c.definition;
        EXPECT_FALSE(
            fs::exists(fs::path(out) / ("catalog-" + std::to_string(c.pages + 1) + ".htm")));
        if (c.thumbnail != nullptr) {
            EXPECT_TRUE(fs::exists(fs::path(out) / c.thumbnail)) << c.definition;
        }
        EXPECT_NE(readText(fs::path(out) / "catalog.htm").find(c.text), std::string::npos)
            << c.definition;
    }
    // A definition that cannot be read fails with the program's message.
    const auto missing = run("catalog" + m_files + " --definition nowhere.kpm -o " +
                             test::shellQuoted(m_dir.file("x")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("HTML定義ファイルの読み込みに失敗しました"), std::string::npos);
    EXPECT_EQ(run("catalog" + m_files + " -o x").status, 2);
}

TEST_F(OutputCli, ReportAndContactSheets) {
    const std::string report = m_dir.file("report.txt");
    ASSERT_EQ(run("report" + m_files + " -o " + test::shellQuoted(report)).status, 0);
    const std::string text = readText(report);
    EXPECT_TRUE(text.starts_with("p0.bmp\t")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 50);

    struct Case {
        const char* grid;
        const char* name;
        std::vector<const char*> files;
    } const cases[] = {
        {"0x0", "one.bmp", {"one.bmp"}},
        {"4x2", "many.jpg", {"many00.jpg", "many01.jpg"}},
    };
    for (const Case& c : cases) {
        const auto r = run("contact-sheet" + m_files + " --size 60x70 --grid " + c.grid + " -o " +
                           test::shellQuoted(m_dir.file(c.name)));
        ASSERT_EQ(r.status, 0) << r.out;
        for (const char* file : c.files) {
            EXPECT_TRUE(fs::exists(m_dir.file(file))) << file;
        }
    }
    // Ten pictures with nothing given: 3 columns and 4 rows of 60 x 70 cells.
    const ReadResult sheet = readBmpFile(m_dir.file("one.bmp"));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet.picture.width(), 180);
    EXPECT_EQ(sheet.picture.height(), 280);
}

} // namespace
} // namespace vemra
