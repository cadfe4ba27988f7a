// The built-in BMP decoder (1000): identification, info and the picture
// rules that differ from the general bitmap reader.

#include "decoder_test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

std::vector<std::byte> fileOf(const PictureBuffer& p) {
    return encodeBmp(p);
}

TEST(BmpDecoder, IdentifiesOnlyInformationHeaders) {
    auto file = fileOf(test::patternPicture(4, 3, 8));
    EXPECT_TRUE(test::identifies(kBmpDecoderId, file));
    auto core = file;
    storeU32(core.data() + 14, 12);
    EXPECT_FALSE(test::identifies(kBmpDecoderId, core));
    auto oddDepth = file;
    storeU16(oddDepth.data() + 28, 2);
    EXPECT_FALSE(test::identifies(kBmpDecoderId, oddDepth));
    EXPECT_FALSE(test::identifies(kBmpDecoderId, test::bytes({'B', 'A'})));
}

TEST(BmpDecoder, InfoAndPictureFromFileAndMemory) {
    test::TempDir dir;
    const PictureBuffer original = test::patternPicture(9, 5, 4);
    const auto file = fileOf(original);
    test::writeFile(dir.file("p.bmp"), file);

    const auto info = test::infoFile(kBmpDecoderId, dir.file("p.bmp"));
    EXPECT_EQ(info.code, 0);
    EXPECT_EQ(info.info.width, 9);
    EXPECT_EQ(info.info.height, 5);
    EXPECT_EQ(info.info.colorDepth, 4);
    EXPECT_EQ(test::infoMemory(kBmpDecoderId, file).info.width, 9);
    EXPECT_EQ(test::infoMemory(kBmpDecoderId, test::bytes({'B', 'M', 0})).code, -1);

    for (const auto& d : {test::decodeFile(kBmpDecoderId, dir.file("p.bmp")),
                          test::decodeMemory(kBmpDecoderId, file)}) {
        ASSERT_EQ(d.code, 0);
        ASSERT_EQ(d.picture.totalBytes(), original.totalBytes());
        EXPECT_TRUE(std::equal(d.picture.block().begin(),
                               d.picture.block().begin() + static_cast<long>(original.totalBytes()),
                               original.block().begin()));
    }
    // Other modes are refused.
    PictureBuffer none;
    EXPECT_EQ(findBuiltinDecoder(kBmpDecoderId)
                  ->picture(dir.file("p.bmp").c_str(), 0, 2, none, DecodeOptions{}),
              -1);
}

TEST(BmpDecoder, ColourTableIsReadFromJustBeforeThePixels) {
    // A 16-byte gap between the header and the colour table.
    const PictureBuffer original = test::patternPicture(6, 2, 8);
    auto file = fileOf(original);
    const std::size_t tableAt = 54;
    file.insert(file.begin() + static_cast<long>(tableAt), 16, std::byte{0x55});
    storeU32(file.data() + 10, loadU32(file.data() + 10) + 16);
    storeU32(file.data() + 2, static_cast<std::uint32_t>(file.size()));
    const auto d = test::decodeMemory(kBmpDecoderId, file);
    ASSERT_EQ(d.code, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(d.picture.paletteColour(i), original.paletteColour(i)) << i;
    }
    EXPECT_EQ(d.picture.pixel(5, 1), original.pixel(5, 1));
}

TEST(BmpDecoder, RleIsExpandedAndBrokenRunsStayCompressed) {
    const PictureBuffer plain = test::patternPicture(13, 7, 8);
    const auto d = test::decodeMemory(kBmpDecoderId, fileOf(compressRle(plain)));
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.compression(), Compression::None);
    EXPECT_EQ(d.picture.pixel(12, 6), plain.pixel(12, 6));

    // A run that crosses the right edge: the picture comes back as stored.
    auto header = test::infoHeader(2, 1, 8, 1, 4);
    header.resize(header.size() + 1024);
    const auto broken = test::bmpFile(header, test::bytes({5, 1, 0, 1}));
    const auto b = test::decodeMemory(kBmpDecoderId, broken);
    ASSERT_EQ(b.code, 0);
    EXPECT_EQ(b.picture.compression(), Compression::Rle8);
}

TEST(BmpDecoder, HostileHeadersGiveCodes) {
    test::TempDir dir;
    // Huge dimensions are refused before any allocation.
    const auto huge = test::bmpFile(test::infoHeader(100000, 100000, 24), {});
    EXPECT_EQ(test::decodeMemory(kBmpDecoderId, huge).code, 4);
    // Pixel offset past the end.
    auto file = fileOf(test::patternPicture(4, 4, 24));
    storeU32(file.data() + 10, 100000);
    EXPECT_EQ(test::decodeMemory(kBmpDecoderId, file).code, 3);
    // A file missing most of its pixels cannot be read; memory gives what it has.
    auto shortFile = fileOf(test::patternPicture(40, 40, 24));
    shortFile.resize(shortFile.size() / 2);
    test::writeFile(dir.file("short.bmp"), shortFile);
    EXPECT_EQ(test::decodeFile(kBmpDecoderId, dir.file("short.bmp")).code, 6);
    EXPECT_EQ(test::decodeMemory(kBmpDecoderId, shortFile).code, 0);
    // Truncated headers, empty files and missing files.
    test::writeFile(dir.file("empty.bmp"), {});
    EXPECT_EQ(test::decodeFile(kBmpDecoderId, dir.file("empty.bmp")).code, -1);
    EXPECT_EQ(test::decodeFile(kBmpDecoderId, dir.file("missing.bmp")).code, 8);
    for (std::size_t cut = 0; cut < 60; cut += 3) {
        const std::vector<std::byte> head(file.begin(), file.begin() + static_cast<long>(cut));
        EXPECT_NE(test::decodeMemory(kBmpDecoderId, head).code, 0) << cut;
    }
}

TEST(BmpDecoder, CoreHeadersAndTopDownRowsThroughTheGeneralReader) {
    const PictureBuffer original = test::patternPicture(5, 3, 24);
    auto file = fileOf(original);
    // Turn it top-down: negative height, rows reversed.
    auto topDown = file;
    storeI32(topDown.data() + 22, -3);
    const std::size_t row = original.rowBytes();
    for (int y = 0; y < 3; ++y) {
        const auto src = original.row(y);
        std::copy(src.begin(), src.end(), topDown.begin() + 54 + static_cast<long>(row * y));
    }
    const auto d = test::decodeMemory(kBmpDecoderId, topDown);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.height(), 3);
    EXPECT_EQ(d.picture.pixel(4, 0), original.pixel(4, 0));
}

} // namespace
} // namespace vemra
