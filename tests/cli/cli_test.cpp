// Runs the vemra-cli program as a user would and checks its output and exit
// status.

#include "../imaging/test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace vemra {
namespace {

using test::CliRun;

CliRun cli(const std::string& arguments) {
    return test::runCli(arguments);
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

TEST(Cli, HelpAndUsageErrors) {
    const CliRun help = cli("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"identify", "info", "decode"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    EXPECT_EQ(cli("").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
    EXPECT_EQ(cli("info").status, 2);
    EXPECT_EQ(cli("decode x.bmp").status, 2);
    EXPECT_EQ(cli("decode x.bmp -o").status, 2);
    EXPECT_EQ(cli("decode x.bmp -o y.bmp --bogus").status, 2);
}

TEST(Cli, InfoPrintsTheHeaderFigures) {
    test::TempDir dir;
    PictureBuffer p = PictureBuffer::create(5, 3, 8, 7);
    ASSERT_TRUE(writeBmpFile(dir.file("p.bmp"), p));
    const CliRun run = cli("info " + quoted(dir.file("p.bmp")));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "5\t3\t8\t0\t7\t" + std::to_string(40 + 28 + 24) + "\n");
}

TEST(Cli, DecodeExpandsAndConverts) {
    test::TempDir dir;
    const PictureBuffer rle = compressRle(test::patternPicture(9, 4, 4));
    ASSERT_TRUE(writeBmpFile(dir.file("in.bmp"), rle));

    CliRun run =
        cli("decode " + quoted(dir.file("in.bmp")) + " -o " + quoted(dir.file("plain.bmp")));
    ASSERT_EQ(run.status, 0) << run.out;
    ReadResult plain = readBmpFile(dir.file("plain.bmp"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain.picture.bitCount(), 4);
    EXPECT_EQ(plain.picture.compression(), Compression::None);

    run =
        cli("decode " + quoted(dir.file("in.bmp")) + " --to24 -o " + quoted(dir.file("deep.bmp")));
    ASSERT_EQ(run.status, 0) << run.out;
    ReadResult deep = readBmpFile(dir.file("deep.bmp"));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep.picture.bitCount(), 24);
    const PictureBuffer& original = plain.picture;
    EXPECT_EQ(deep.picture.pixel(8, 3),
              original.paletteColour(static_cast<int>(original.pixel(8, 3))));
}

TEST(Cli, FailuresNameTheResultCodeAndItsMeaning) {
    test::TempDir dir;
    test::writeFile(dir.file("junk.bmp"), test::bytes({'B', 'M', 1, 2, 3}));
    test::writeFile(dir.file("junk.bin"), test::bytes({1, 2, 3, 4}));
    ASSERT_TRUE(writeBmpFile(dir.file("ok.bmp"), test::patternPicture(2, 2, 24)));
    const std::string out = quoted(dir.file("out.bmp"));
    struct Case {
        std::string line;
        const char* message; // the end of the line on stderr
    };
    const Case cases[] = {
        {"info " + quoted(dir.file("missing.bmp")), "missing.bmp: file open failure (result 8)\n"},
        {"info " + quoted(dir.file("junk.bmp")), "junk.bmp: invalid data (result 2)\n"},
        {"decode " + quoted(dir.file("junk.bin")) + " -o " + out,
         "junk.bin: no decoder takes this file (result 2: invalid data)\n"},
        {"scale " + quoted(dir.file("junk.bmp")) + " -o " + out + " --size 2x2",
         "junk.bmp: invalid data (result 2)\n"},
        {"identify " + quoted(dir.file("missing.png")),
         "missing.png: file open failure (result 8)\n"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.line);
        EXPECT_EQ(run.status, 1) << c.line;
        EXPECT_TRUE(run.out.ends_with(c.message)) << c.line << "\n" << run.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bmp")));
    EXPECT_EQ(
        cli("decode " + quoted(dir.file("ok.bmp")) + " -o " + quoted(dir.file("no/such/out.bmp")))
            .status,
        1);
}

// A picture saved by Qt's own writers.
void saveImage(const std::string& path, const char* format, int width, int height,
               const QString& comment = {}) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
        }
    }
    if (!comment.isEmpty()) {
        image.setText(QStringLiteral("Comment"), comment);
    }
    ASSERT_TRUE(image.save(QString::fromStdString(path), format));
}

TEST(Cli, IdentifyNamesTheDecoderAndEscapesTheInfoText) {
    test::TempDir dir;
    saveImage(dir.file("p.png"), "PNG", 7, 5, QStringLiteral("two\nlines\tand tab"));
    test::writeFile(dir.file("junk.bin"), test::bytes({1, 2, 3, 4}));
    const CliRun run =
        cli("identify " + quoted(dir.file("p.png")) + " " + quoted(dir.file("junk.bin")));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("p.png\t--PNG--\t7\t5\t24\ttwo\\nlines\\tand tab\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("junk.bin\t\t0\t0\t0\t\n"), std::string::npos) << run.out;
    EXPECT_EQ(cli("identify " + quoted(dir.file("none.png"))).status, 1);
}

TEST(Cli, DecodeWithDecoderReductionAndOffset) {
    test::TempDir dir;
    saveImage(dir.file("big.jpg"), "JPG", 160, 96);
    CliRun run = cli("decode " + quoted(dir.file("big.jpg")) + " --reduce 8 -o " +
                     quoted(dir.file("small.bmp")));
    ASSERT_EQ(run.status, 0) << run.out;
    ReadResult small = readBmpFile(dir.file("small.bmp"));
    ASSERT_TRUE(small);
    EXPECT_EQ(small.picture.width(), 20);
    EXPECT_EQ(small.picture.bitCount(), 24);

    // The same JPEG behind 100 bytes of something else.
    auto wrapped = std::vector<std::byte>(100, std::byte{0x42});
    const auto jpeg = test::readFile(dir.file("big.jpg"));
    wrapped.insert(wrapped.end(), jpeg.begin(), jpeg.end());
    test::writeFile(dir.file("wrapped.bin"), wrapped);
    run = cli("decode " + quoted(dir.file("wrapped.bin")) + " --offset 100 --decoder 1001 -o " +
              quoted(dir.file("w.bmp")));
    EXPECT_EQ(run.status, 0) << run.out;
    run = cli("decode " + quoted(dir.file("wrapped.bin")) + " --offset 100 --decoder --jpg-- -o " +
              quoted(dir.file("w.bmp")));
    EXPECT_EQ(run.status, 0) << run.out;
    // The wrong decoder fails with its code; a bad option is a usage error.
    run = cli("decode " + quoted(dir.file("big.jpg")) + " --decoder 1007 -o " +
              quoted(dir.file("x.bmp")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("result 2"), std::string::npos) << run.out;
    EXPECT_EQ(cli("decode a --decoder 77 -o b").status, 2);
    EXPECT_EQ(cli("decode a --reduce 0 -o b").status, 2);
    EXPECT_EQ(cli("decode a --offset -4 -o b").status, 2);
}

TEST(Cli, DecodesATextPicture) {
    test::TempDir dir;
    test::writeFile(dir.file("note.txt"), test::bytes({0x93, 0xfa, 0x96, 0x7b, '\r', '\n', 'a'}));
    // The text renderer is off by default, so it is named here.
    const CliRun run = cli("decode " + quoted(dir.file("note.txt")) + " --decoder --TXT-- -o " +
                           quoted(dir.file("note.bmp")));
    ASSERT_EQ(run.status, 0) << run.out;
    ReadResult page = readBmpFile(dir.file("note.bmp"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page.picture.width(), 480);
}

TEST(Cli, IdentifyListsEverySample) {
    const CliRun run = cli("identify " + quoted(std::string(VEMRA_SOURCE_DIR) + "/samples") + "/*");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("夕焼け.bmp\t--BMP--\t160\t120\t24\t\n"), std::string::npos) << run.out;
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

TEST(Cli, DecodeChoosesTheEncoderByExtension) {
    test::TempDir dir;
    ASSERT_TRUE(writeBmpFile(dir.file("in.bmp"), test::patternPicture(16, 12, 24)));
    const std::string in = quoted(dir.file("in.bmp"));
    EXPECT_EQ(cli("decode " + in + " -o " + quoted(dir.file("out.PNG"))).status, 0);
    EXPECT_EQ(
        cli("decode " + in + " -o " + quoted(dir.file("out.jpg")) + " --quality 70 --progressive")
            .status,
        0);
    EXPECT_EQ(cli("decode " + in + " -o " + quoted(dir.file("pal.bmp")) + " --bits 8").status, 0);
    const QImage png(QString::fromStdString(dir.file("out.PNG")));
    const QImage jpg(QString::fromStdString(dir.file("out.jpg")));
    EXPECT_EQ(png.size(), QSize(16, 12));
    EXPECT_EQ(jpg.size(), QSize(16, 12));
    ReadResult palette = readBmpFile(dir.file("pal.bmp"));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette.picture.bitCount(), 8);

    EXPECT_EQ(cli("decode " + in + " -o " + quoted(dir.file("out.gif"))).status, 2);
    EXPECT_EQ(cli("decode " + in + " -o " + quoted(dir.file("q.jpg")) + " --quality 101").status,
              2);
    EXPECT_EQ(cli("decode " + in + " -o " + quoted(dir.file("q.png")) + " --bits 3").status, 2);
}

TEST(Cli, ReduceWritesAPalettePicture) {
    test::TempDir dir;
    ASSERT_TRUE(writeBmpFile(dir.file("in.bmp"), test::patternPicture(30, 20, 24)));
    const CliRun run =
        cli("reduce " + quoted(dir.file("in.bmp")) + " -o " + quoted(dir.file("out.bmp")) +
            " --mode 3 --transparent-corner 0 --reserve-system");
    ASSERT_EQ(run.status, 0) << run.out;
    ReadResult reduced = readBmpFile(dir.file("out.bmp"));
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced.picture.bitCount(), 8);
    EXPECT_LE(reduced.picture.colourEntries(), 256);
    EXPECT_EQ(reduced.picture.pixel(0, 0),
              static_cast<std::uint32_t>(reduced.picture.colourEntries() - 1));
    EXPECT_EQ(cli("reduce " + quoted(dir.file("in.bmp")) + " -o x.bmp --mode 9").status, 2);
}

} // namespace
} // namespace vemra
