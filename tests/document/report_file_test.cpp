#include "document/report_file.h"

#include "../imaging/test_support.h"
#include "document/picture_source.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vemra {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ReportFile, WritesOneLinePerPicture) {
    test::TempDir dir;
    PictureSource a, b;
    a.folder = b.folder = dir.path().string();
    a.fileName = "a.jpg";
    a.length = 1536;
    a.pictureWidth = 640;
    a.pictureHeight = 480;
    a.bitCount = 24;
    a.infoText = "JPEG";
    a.noteLoaded = b.noteLoaded = true;
    b.fileName = "b.png";
    b.note = "two\r\nlines";
    PictureSource* pictures[] = {&a, &b};

    struct Case {
        const char* format;
        const char* firstLine;
        int fileLines;
    } const cases[] = {
        // The default: name, size, date and time, pixels, information, note.
        {"", "a.jpg\t1,536\t", 3},
        {"fixed", "fixed", 2},
        // A note's line breaks continue the line on the next lines.
        {"$(N)|", "|", 3},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("report.txt");
        const ReportResult result = writeReportFile(path, c.format, pictures, {}, nullptr);
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.lines, 2);
        const std::string text = readText(path);
        EXPECT_TRUE(text.starts_with(c.firstLine)) << text;
        int crlf = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2))
            ++crlf;
        EXPECT_EQ(crlf, c.fileLines) << c.format;
        EXPECT_EQ(text.find("\r\r"), std::string::npos);
    }
    const std::string text = readText(dir.file("report.txt"));
    EXPECT_EQ(text, "|\r\ntwo\r\nlines|\r\n");

    writeReportFile(dir.file("six.txt"), "", pictures, {}, nullptr);
    const std::string firstLine =
        readText(dir.file("six.txt")).substr(0, readText(dir.file("six.txt")).find("\r\n"));
    EXPECT_EQ(std::count(firstLine.begin(), firstLine.end(), '\t'), 5);
    EXPECT_TRUE(firstLine.ends_with("\t640x480 24bit\tJPEG\t")) << firstLine;

    // A folder that cannot take the file is a failure, not a success.
    EXPECT_FALSE(writeReportFile(dir.file("missing/r.txt"), "", pictures, {}, nullptr).ok);
}

TEST(ReportFile, TakesTheFilterExtension) {
    EXPECT_EQ(withFilterExtension("report.csv", "*.txt"), "report.txt");
    EXPECT_EQ(withFilterExtension("report", "*.txt"), "report.txt");
    EXPECT_EQ(withFilterExtension("report.csv", "*.*"), "report.csv");
}

} // namespace
} // namespace vemra
