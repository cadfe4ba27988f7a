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

struct CliRun {
    int status = -1;
    std::string out;
};

// Runs the tool with `arguments` (already quoted for the shell); stderr is
// folded into the output.
CliRun cli(const std::string& arguments) {
    const std::string command = std::string("'") + VEMRA_CLI_PATH + "' " + arguments + " 2>&1";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.out.append(buffer.data(), got);
    }
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
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

TEST(Cli, FailuresNameTheResultCode) {
    test::TempDir dir;
    CliRun run = cli("info " + quoted(dir.file("missing.bmp")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("result 8"), std::string::npos) << run.out;

    test::writeFile(dir.file("junk.bmp"), test::bytes({'B', 'M', 1, 2, 3}));
    run = cli("decode " + quoted(dir.file("junk.bmp")) + " -o " + quoted(dir.file("out.bmp")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("result 2"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bmp")));

    ASSERT_TRUE(writeBmpFile(dir.file("ok.bmp"), test::patternPicture(2, 2, 24)));
    run =
        cli("decode " + quoted(dir.file("ok.bmp")) + " -o " + quoted(dir.file("no/such/out.bmp")));
    EXPECT_EQ(run.status, 1);
}

TEST(Cli, IdentifyListsEverySample) {
    const CliRun run =
        cli("identify " + quoted(std::string(VEMRA_SOURCE_DIR) + "/samples") + "/*.bmp");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("夕焼け.bmp\tBMP\t160\t120\t24"), std::string::npos) << run.out;
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
