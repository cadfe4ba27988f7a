// vemra-cli's plug-in commands, run as a user would: a folder of WebP
// pictures and zip and 7z archives of JPEG files are listed, extracted and
// decoded through the shipped plug-ins.

#include "imaging/bmp_file.h"
#include "plugin_test_support.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>
#include <webp/encode.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

namespace vemra {
namespace {

using test::TempDir;

using test::CliRun;

CliRun cli(const std::string& arguments) {
    return test::runCli(arguments);
}

std::string q(const std::string& path) {
    return "'" + path + "'";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    return out;
}

std::vector<std::byte> jpegFile(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 7 + seed, y * 5, (x ^ y) + seed * 3));
        }
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG", 90));
    return {reinterpret_cast<const std::byte*>(data.constData()),
            reinterpret_cast<const std::byte*>(data.constData()) + data.size()};
}

TEST(PluginCli, ListsTheShippedAndTheTestPlugins) {
    TempDir settingsDir;
    const std::string settings = "--settings " + q(settingsDir.file("vemra.ini")) + " ";
    const CliRun shipped = cli(settings + "plugins");
    ASSERT_EQ(shipped.status, 0) << shipped.out;
    const std::vector<std::string> rows = lines(shipped.out);
    ASSERT_EQ(rows.size(), 5u) << shipped.out;
    EXPECT_EQ(rows[0].rfind("archive\t00AM\tArchive plug-in for Vemra (libarchive ", 0), 0u);
    EXPECT_NE(rows[0].find("\t*.zip;*.cbz;*.7z;"), std::string::npos);
    EXPECT_EQ(rows[1].rfind("heif\t00IN\t", 0), 0u);
    EXPECT_NE(rows[1].find("\t*.heic;*.heif;*.hif;*.avif"), std::string::npos);
    EXPECT_EQ(rows[2].rfind("webp\t00IN\tWebP picture plug-in for Vemra (libwebp ", 0), 0u);
    EXPECT_EQ(rows[2].substr(rows[2].size() - 2), "\t1"); // in use: no set was saved yet
    EXPECT_EQ(rows[3], "# set: _Default");

    const CliRun tests = cli(settings + "plugins --plugins " + q(VEMRA_TEST_PLUGIN_DIR));
    EXPECT_NE(tests.out.find("tiny\t00IN\tTiny test plug-in\t*.tiny;*.tarc\t1\n"),
              std::string::npos)
        << tests.out;
    // A plug-in of an unknown kind is reported and left out.
    EXPECT_EQ(tests.status, 1);
    EXPECT_NE(tests.out.find("[wrong_type.spi]"), std::string::npos) << tests.out;

    TempDir dir;
    test::writeFile(dir.file("broken.SPI"), test::noise(100, 1));
    const CliRun broken = cli(settings + "plugins --plugins " + q(dir.path().string()));
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("[broken]"), std::string::npos) << broken.out;
    EXPECT_EQ(cli("plugins --plugins " + q(dir.file("none"))).status, 1);
    EXPECT_EQ(cli("plugins --bogus").status, 2);
    EXPECT_EQ(cli("plugins extra").status, 2);
    EXPECT_EQ(cli("plugins --set").status, 2);
}

TEST(PluginCli, DecodesAFolderOfWebPPictures) {
    TempDir dir;
    PluginModule webp = test::shippedPlugin("webp");
    for (int i = 0; i < 3; ++i) {
        const int width = 20 + i * 7;
        const int height = 10 + i * 3;
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
        for (std::size_t k = 0; k < rgba.size(); ++k) {
            rgba[k] = static_cast<std::uint8_t>(k % 4 == 3 ? (i == 2 ? k * 5 : 255) : k * 13 + i);
        }
        std::uint8_t* out = nullptr;
        const std::size_t size =
            i == 1 ? WebPEncodeRGBA(rgba.data(), width, height, width * 4, 80, &out)
                   : WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out);
        const std::string name = dir.file(std::string("picture") + std::to_string(i) + ".webp");
        test::writeFile(
            name, {reinterpret_cast<std::byte*>(out), reinterpret_cast<std::byte*>(out) + size});
        WebPFree(out);

        const std::string bmp = dir.file(std::string("out") + std::to_string(i) + ".bmp");
        const CliRun run = cli("decode " + q(name) + " --plugin webp -o " + q(bmp));
        ASSERT_EQ(run.status, 0) << run.out;
        ReadResult written = readBmpFile(bmp);
        ASSERT_TRUE(written) << bmp;
        PictureBuffer direct;
        ASSERT_EQ(webp.picture(PluginSource::file(name), direct), ResultCode::Success);
        EXPECT_EQ(written.picture.width(), width);
        EXPECT_EQ(written.picture.height(), height);
        EXPECT_TRUE(std::equal(direct.pixels().begin(), direct.pixels().end(),
                               written.picture.pixels().begin(), written.picture.pixels().end()));
    }
    const std::string picture = dir.file("picture0.webp");
    const CliRun wrong =
        cli("decode " + q(picture) + " --plugin archive -o " + q(dir.file("x.bmp")));
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(cli("decode " + q(picture) + " --plugin nosuch -o " + q(dir.file("x.bmp"))).status,
              1);
    const CliRun damaged =
        cli("decode " + q(dir.file("out0.bmp")) + " --plugin WEBP.spi -o " + q(dir.file("x.bmp")));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.out.find("(result 2)"), std::string::npos) << damaged.out;
    EXPECT_EQ(cli("decode " + q(picture) + " --plugin webp").status, 2);
    EXPECT_EQ(cli("decode " + q(picture) + " --plugin").status, 2);
}

TEST(PluginCli, ListsAndExtractsZipAnd7zOfJpegFiles) {
    TempDir dir;
    const std::vector<test::Member> members = {
        {"holiday/beach.jpg", jpegFile(64, 48, 1), 1650000000},
        {"holiday/夕焼け.jpg", jpegFile(40, 30, 2), 1650000500},
        {"cover.jpg", jpegFile(16, 16, 3), 1650001000},
    };
    for (const char* format : {"zip", "7z"}) {
        const std::string archive = dir.file(std::string("photos.") + format);
        ASSERT_TRUE(test::writeArchive(archive, format, "", members));
        const CliRun list = cli("list " + q(archive));
        ASSERT_EQ(list.status, 0) << list.out;
        const std::vector<std::string> rows = lines(list.out);
        ASSERT_EQ(rows.size(), members.size()) << list.out;
        for (const std::string& row : rows) {
            // position, size, time, path, name
            std::vector<std::string> fields;
            std::size_t start = 0;
            for (std::size_t tab; (tab = row.find('\t', start)) != std::string::npos;
                 start = tab + 1) {
                fields.push_back(row.substr(start, tab - start));
            }
            fields.push_back(row.substr(start));
            ASSERT_EQ(fields.size(), 5u) << row;
            const auto member =
                std::find_if(members.begin(), members.end(), [&](const test::Member& m) {
                    return m.name == fields[3] + fields[4];
                });
            ASSERT_NE(member, members.end()) << row;
            EXPECT_EQ(fields[1], std::to_string(member->data.size()));
            EXPECT_EQ(fields[2], std::to_string(member->mtime));

            const std::string out = dir.file("extracted.jpg");
            const CliRun extract = cli("extract " + q(archive) + " " + fields[0] + " -o " + q(out));
            ASSERT_EQ(extract.status, 0) << extract.out;
            EXPECT_EQ(test::readFile(out), member->data) << row;
            QImage decoded;
            EXPECT_TRUE(decoded.load(QString::fromStdString(out)));
        }
        const CliRun missing = cli("extract " + q(archive) + " 999 -o " + q(dir.file("x")));
        EXPECT_EQ(missing.status, 1);
        EXPECT_NE(missing.out.find("no such member"), std::string::npos) << missing.out;
    }
    test::writeFile(dir.file("plain.txt"), test::noise(300, 2));
    EXPECT_EQ(cli("list " + q(dir.file("plain.txt"))).status, 1);
    EXPECT_EQ(cli("list " + q(dir.file("none.zip"))).status, 1);
    EXPECT_EQ(cli("list").status, 2);
    EXPECT_EQ(cli("extract " + q(dir.file("photos.zip")) + " x1 -o " + q(dir.file("x"))).status, 2);
    EXPECT_EQ(cli("extract " + q(dir.file("photos.zip")) + " 1").status, 2);
}

TEST(PluginCli, FaultingPluginsFailTheOperationAndAreReported) {
    TempDir dir;
    const std::string common =
        "--settings " + q(dir.file("vemra.ini")) + " --plugins " + q(VEMRA_TEST_PLUGIN_DIR) + " ";
    test::writeFile(dir.file("read.fault"), test::noise(64, 1));
    test::writeFile(dir.file("divide.x"), test::noise(64, 2));
    test::writeFile(dir.file("abort.arc"), test::noise(64, 3));

    CliRun run = cli(common + "identify " + q(dir.file("read.fault")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("SPI Exception: IsSupportedSub :Code=C0000005"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("の読込違反"), std::string::npos) << run.out;

    run = cli(common + "decode " + q(dir.file("divide.x")) + " --plugin fault -o " +
              q(dir.file("out.bmp")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("SPI Exception: GetPicture :Code=C0000094"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("(result -1)"), std::string::npos) << run.out;

    run = cli(common + "list " + q(dir.file("abort.arc")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("SPI Exception: IsSupportedSub"), std::string::npos) << run.out;
}

TEST(PluginCli, ASetChoosesThePluginsInUse) {
    TempDir dir;
    PluginModule webp = test::shippedPlugin("webp");
    std::vector<std::uint8_t> rgba(8 * 8 * 4, 200);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), 8, 8, 32, &out);
    test::writeFile(dir.file("p.webp"),
                    {reinterpret_cast<std::byte*>(out), reinterpret_cast<std::byte*>(out) + size});
    WebPFree(out);
    // A saved set "plain" that uses the archive plug-in only.
    test::writeFile(dir.file("vemra.ini"),
                    test::bytes({'[', 'S',  'P', 'I', 'S', 'E', 'T', '\\', 'p', 'l', 'a', 'i', 'n',
                                 ']', '\n', 'a', 'r', 'c', 'h', 'i', 'v',  'e', '=', '1', '\n'}));
    const std::string settings = "--settings " + q(dir.file("vemra.ini")) + " ";
    EXPECT_EQ(
        cli(settings + "decode " + q(dir.file("p.webp")) + " -o " + q(dir.file("a.bmp"))).status,
        0);
    const CliRun plain = cli(settings + "decode " + q(dir.file("p.webp")) + " --set plain -o " +
                             q(dir.file("b.bmp")));
    EXPECT_EQ(plain.status, 1) << plain.out;
    const CliRun listed = cli(settings + "plugins --set plain");
    EXPECT_NE(listed.out.find("# set: plain\n# sets: plain\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\t0\n"), std::string::npos) << listed.out;
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// With the hostile test plug-ins installed beside the shipped ones,
// vemra-cli keeps answering: every other file is identified and decoded,
// each fault is reported, and a plug-in that hangs costs only its time limit.
TEST(PluginCli, HostilePluginsEndOnlyTheirHost) {
    TempDir dir;
    const std::string spi = dir.file("spi");
    std::filesystem::create_directories(spi);
    std::filesystem::copy_file(test::shippedPluginPath("webp"), spi + "/webp.spi");
    for (const char* kind : {"null", "overrun", "abort", "divide", "ctor", "loop", "leak"}) {
        const std::string name = std::string("hostile_") + kind + ".spi";
        std::filesystem::copy_file(test::testPluginPath(std::string("hostile_") + kind),
                                   spi + "/" + name);
        const std::string text = std::string("HOSTILE:") + kind;
        test::writeFile(dir.file(std::string(kind) + ".hostile"),
                        {reinterpret_cast<const std::byte*>(text.data()),
                         reinterpret_cast<const std::byte*>(text.data()) + text.size()});
    }
    test::writeFile(dir.file("a.jpg"), jpegFile(32, 24, 1));
    std::vector<std::uint8_t> rgba(8 * 8 * 4, 200);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), 8, 8, 32, &out);
    test::writeFile(dir.file("b.webp"),
                    {reinterpret_cast<std::byte*>(out), reinterpret_cast<std::byte*>(out) + size});
    WebPFree(out);
    // The limit holds for every call, loading a plug-in into a fresh host
    // included: it must outlast such a call on a loaded machine under the
    // sanitizers, and only the looping plug-in ever reaches it.
    const test::ScopedEnvironment limit("VEMRA_SPI_TIME_LIMIT_MS", "5000");
    const std::string common =
        "--settings " + q(dir.file("vemra.ini")) + " --plugins " + q(spi) + " ";

    CliRun run =
        cli(common + "identify " + q(dir.file("a.jpg")) + " " + q(dir.file("divide.hostile")) +
            " " + q(dir.file("b.webp")) + " " + q(dir.file("leak.hostile")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("SPI Exception: LoadDLL :Code=C0000005"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("[hostile_ctor.spi]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SPI Exception: GetPictureInfo :Code=C0000094"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(dir.file("a.jpg") + "\t--JPG--\t32\t24\t24"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(dir.file("b.webp") + "\twebp\t8\t8\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(dir.file("leak.hostile") + "\thostile_leak\t16\t16\t24"),
              std::string::npos)
        << run.out;

    for (const auto& [kind, code] : std::vector<std::pair<std::string, std::string>>{
             {"null", "C0000005"}, {"abort", "C0000025"}, {"loop", "102"}, {"overrun", ""}}) {
        run = cli(common + "decode " + q(dir.file(kind + ".hostile")) + " -o " +
                  q(dir.file(kind + ".bmp")));
        EXPECT_EQ(run.status, 1) << kind << run.out;
        EXPECT_NE(run.out.find("SPI Exception: GetPicture :Code=" + code), std::string::npos)
            << kind << run.out;
        EXPECT_NE(run.out.find("[hostile_" + kind + ".spi]"), std::string::npos) << run.out;
    }
    run = cli(common + "decode " + q(dir.file("leak.hostile")) + " -o " + q(dir.file("leak.bmp")));
    EXPECT_EQ(run.status, 0) << run.out;
}

} // namespace
} // namespace vemra
