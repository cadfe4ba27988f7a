// The table of built-in decoders and the MPEG placeholder.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace vemra {
namespace {

TEST(DecoderTable, FixedOrderLabelsAndSwitches) {
    const auto table = builtinDecoders();
    ASSERT_EQ(table.size(), 9u);
    const DecoderId order[] = {1000, 1007, 1003, 1001, 1004, 1005, 1006, 1002, 1008};
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].id, order[i]);
        ASSERT_GE(table[i].information.size(), 4u);
        EXPECT_EQ(table[i].information[0], "00IN");
        EXPECT_EQ(table[i].information.size() % 2, 0u);
        EXPECT_NE(table[i].identify, nullptr);
    }
    struct Expected {
        DecoderId id;
        const char* label;
        const char* extensions;
        const char* switchName;
        bool on;
    };
    const Expected expected[] = {
        {1000, "--BMP--", "*.BMP;*.RLE", "#InnerBMP", true},
        {1001, "--JPG--", "*.JPG;*.JPEG;*.JPE;*.JIFF", "#InnerJPEG", true},
        {1002, "--AGIF--", "*.GIF", "#InnerGIF", false},
        {1003, "--TIF--", "*.TIF;*.TIFF", "#InnerTIFF", true},
        {1004, "--TXT--", "*.TXT", "#InnerTEXT", false},
        {1005, "--AVI--", "*.AVI", "#InnerAVI", false},
        {1006, "--MPG--", "*.MPG;*.MPEG", "#InnerMPG", false},
        {1007, "--PNG--", "*.PNG", "#InnerPNG", true}, // on here: no PNG plug-in exists
        {1008, "--GIF--", "*.GIF", "#InnerGIF2", true},
    };
    for (const Expected& e : expected) {
        const BuiltinDecoder* d = findBuiltinDecoder(e.id);
        ASSERT_NE(d, nullptr) << e.id;
        EXPECT_EQ(d->label, e.label);
        EXPECT_EQ(d->extensions, e.extensions);
        EXPECT_EQ(d->switchName, e.switchName);
        EXPECT_EQ(d->onByDefault, e.on);
        EXPECT_EQ(findBuiltinDecoder(std::string_view(e.label)), d);
    }
    EXPECT_EQ(findBuiltinDecoder(std::string_view("--jpg--"))->id, 1001);
    EXPECT_EQ(findBuiltinDecoder(999), nullptr);
    EXPECT_EQ(findBuiltinDecoder(std::string_view("JPG")), nullptr);
    EXPECT_EQ(findBuiltinDecoder(1000)->information[2], "*.bmp");
    EXPECT_EQ(findBuiltinDecoder(1001)->information.size(), 6u);
}

TEST(DecoderTable, MpegIsNeverDecoded) {
    test::TempDir dir;
    const auto mpeg = test::bytes({0x00, 0x00, 0x01, 0xBA, 0x44, 0, 4, 0, 4, 1});
    test::writeFile(dir.file("movie.mpg"), mpeg);
    EXPECT_FALSE(test::identifies(kMpegDecoderId, mpeg, "movie.mpg"));
    EXPECT_EQ(test::infoFile(kMpegDecoderId, dir.file("movie.mpg")).code, -1);
    EXPECT_EQ(test::decodeFile(kMpegDecoderId, dir.file("movie.mpg")).code, 6);
    EXPECT_EQ(test::decodeMemory(kMpegDecoderId, mpeg).code, 3);
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (d.id != kTextDecoderId) {
            EXPECT_FALSE(test::identifies(d.id, mpeg, "movie.mpg")) << d.label;
        }
    }
}

TEST(DecoderTable, FileDescriptorHeadersAreReadAndPutBack) {
    test::TempDir dir;
    const auto gif = test::bytes({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B});
    test::writeFile(dir.file("x.gif"), gif);
    const int fd = ::open(dir.file("x.gif").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const void* handle = reinterpret_cast<const void*>(static_cast<std::intptr_t>(fd));
    EXPECT_FALSE(findBuiltinDecoder(kBmpDecoderId)->identify("x.gif", handle));
    EXPECT_TRUE(findBuiltinDecoder(kGifDecoderId)->identify("x.gif", handle));
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0);
    ::close(fd);
}

} // namespace
} // namespace vemra
