#include "imaging/jpeg_encoder.h"

#include "../imaging/test_support.h"
#include "../plugin/plugin_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class PictureFilesCli : public ::testing::Test {
protected:
    test::CliRun run(const std::string& arguments) { return test::runCli(m_settings + arguments); }
    std::string q(const std::string& name) { return test::shellQuoted(m_dir.file(name)); }
    void put(const std::string& name, const std::string& text) {
        std::ofstream(m_dir.file(name), std::ios::binary) << text;
    }
    void putJpeg(const std::string& name, int width, int height, int seed) {
        PictureBuffer picture = PictureBuffer::create(width, height, 24);
        for (int y = 0; y < height; ++y) {
            std::byte* row = picture.row(y).data();
            for (int x = 0; x < 3 * width; ++x)
                row[x] = static_cast<std::byte>((x * seed + y * 3) & 0xFF);
        }
        ASSERT_TRUE(saveJpeg(m_dir.file(name), picture, 90, false));
    }

    test::TempDir m_dir;
    std::string m_settings = "--settings " + test::shellQuoted(m_dir.file("s.ini")) + " ";
};

TEST_F(PictureFilesCli, RenameAndSerialRenameReportEachPicture) {
    put("a.jpg", "A");
    put("b.jpg", "B");
    put("c.jpg", "C");
    ASSERT_EQ(run("note " + q("a.jpg") + " --set memo").status, 0);
    test::CliRun r = run("rename " + q("a.jpg") + " A.JPG");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a.jpg -> A.JPG :failed rename\n");
    r = run("rename " + q("a.jpg") + " first.jpg");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(run("notes " + test::shellQuoted(m_dir.path().string())).out, "\tfirst.jpg\tmemo\n");

    put("X2.jpg", "taken");
    r = run("serial-rename " + q("first.jpg") + " " + q("b.jpg") + " " + q("c.jpg") +
            " --format 'X##.jpg'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "renamed\tfirst.jpg\tX1.jpg\nb.jpg -> X2.jpg :failed rename\n"
                     "renamed\tc.jpg\tX3.jpg\n");
    EXPECT_EQ(run("serial-rename " + q("b.jpg") + " --format 'A#.jpg'").status, 2);
    EXPECT_EQ(run("serial-rename " + q("b.jpg") + " --format 'JPEG'").out,
              "renamed\tb.jpg\tb.JPEG\n");
}

TEST_F(PictureFilesCli, ConvertGivesTheSameFilesOnOneThreadAndOnSeveral) {
    std::string files;
    for (int i = 0; i < 5; ++i) {
        putJpeg("p" + std::to_string(i) + ".jpg", 800, 600, i + 1);
        files += q("p" + std::to_string(i) + ".jpg") + " ";
    }
    for (const char* threads : {"1", "3"}) {
        const test::CliRun r = run("convert " + files + "-d " + q(std::string("out") + threads) +
                                   " --size 200x200 --unsharp --angle 90 -j " + threads);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.rfind("converted\t" + m_dir.file("p0.jpg") + "\t" +
                                  m_dir.file(std::string("out") + threads + "/p0.jpg") + "\n",
                              0),
                  0u)
            << r.out;
    }
    for (int i = 0; i < 5; ++i) {
        const std::string name = "/p" + std::to_string(i) + ".jpg";
        EXPECT_EQ(test::readFile(m_dir.file("out1") + name),
                  test::readFile(m_dir.file("out3") + name));
    }
    const test::CliRun size = run("identify " + q("out3/p4.jpg"));
    EXPECT_NE(size.out.find("\t150\t200\t"), std::string::npos) << size.out;

    // An existing target is skipped unless told otherwise; a numbered name
    // never meets another picture of the same run.
    test::CliRun r = run("convert " + q("p0.jpg") + " -d " + q("out1"));
    EXPECT_EQ(r.out, "skipped\t" + m_dir.file("p0.jpg") + "\t" + m_dir.file("out1/p0.jpg") + "\n");
    r = run("convert " + q("p0.jpg") + " " + q("p0.jpg") + " -d " + q("out1") +
            " --same 4 --format png --quant 8");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(m_dir.file("out1/p0.png")));
    EXPECT_TRUE(fs::exists(m_dir.file("out1/p0-2.png")));
    put("broken.jpg", "not a picture");
    r = run("convert " + q("broken.jpg") + " -d " + q("out1"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("failed\t", 0), 0u) << r.out;
    EXPECT_EQ(run("convert " + q("p0.jpg") + " -d " + q("o") + " --same 3").status, 2);
    EXPECT_EQ(run("convert " + q("p0.jpg") + " -d " + q("o") + " --factor 0").status, 2);
    EXPECT_EQ(run("convert " + q("p0.jpg")).status, 2);
}

} // namespace
} // namespace vemra
