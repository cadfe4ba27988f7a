// The built-in PNG decoder (1007) against files written with libpng.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace vemra {
namespace {

struct PngSpec {
    int width = 4;
    int height = 3;
    int colourType = PNG_COLOR_TYPE_GRAY;
    int depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    const char* text = nullptr;
    png_uint_32 pixelsPerMetre = 0;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::byte>*>(png_get_io_ptr(png));
    out->insert(out->end(), reinterpret_cast<std::byte*>(data),
                reinterpret_cast<std::byte*>(data) + length);
}

// A PNG whose sample s of row y is (y * 31 + s * 7) masked to the depth.
std::vector<std::byte> writePng(const PngSpec& spec) {
    std::vector<std::byte> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width),
                 static_cast<png_uint_32>(spec.height), spec.depth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    }
    png_text text{};
    if (spec.text != nullptr) {
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char*>("Comment");
        text.text = const_cast<char*>(spec.text);
        png_set_text(png, info, &text, 1);
    }
    if (spec.pixelsPerMetre != 0) {
        png_set_pHYs(png, info, spec.pixelsPerMetre, spec.pixelsPerMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < spec.height; ++y) {
            std::vector<png_byte> row(rowBytes);
            const int samples = spec.width * channels;
            for (int s = 0; s < samples; ++s) {
                const int value = (y * 31 + s * 7) & ((1 << spec.depth) - 1);
                if (spec.depth == 16) {
                    row[static_cast<std::size_t>(s) * 2] = static_cast<png_byte>(value >> 8);
                    row[static_cast<std::size_t>(s) * 2 + 1] = static_cast<png_byte>(value);
                } else if (spec.depth == 8) {
                    row[static_cast<std::size_t>(s)] = static_cast<png_byte>(value);
                } else {
                    const int perByte = 8 / spec.depth;
                    const int shift = 8 - spec.depth * (s % perByte + 1);
                    row[static_cast<std::size_t>(s / perByte)] |=
                        static_cast<png_byte>(value << shift);
                }
            }
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

int sample(int y, int s, int depth) {
    return (y * 31 + s * 7) & ((1 << depth) - 1);
}

TEST(PngDecoder, TwoBitGreyBecomesFourBitsWithAFourEntryTable) {
    PngSpec spec;
    spec.width = 7;
    spec.depth = 2;
    const auto d = test::decodeMemory(kPngDecoderId, writePng(spec));
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.bitCount(), 4);
    ASSERT_EQ(d.picture.colourEntries(), 4);
    const int expected[] = {0, 85, 170, 255};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.picture.paletteColour(i), colourWord(expected[i], expected[i], expected[i]));
    }
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            EXPECT_EQ(d.picture.pixel(x, y), static_cast<std::uint32_t>(sample(y, x, 2)));
        }
    }
}

TEST(PngDecoder, EveryColourTypeAndDepth) {
    struct Case {
        int colourType;
        int depth;
        int bits;
    };
    const Case cases[] = {{PNG_COLOR_TYPE_GRAY, 1, 1},       {PNG_COLOR_TYPE_GRAY, 4, 4},
                          {PNG_COLOR_TYPE_GRAY, 8, 8},       {PNG_COLOR_TYPE_GRAY, 16, 8},
                          {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 8}, {PNG_COLOR_TYPE_RGB, 8, 24},
                          {PNG_COLOR_TYPE_RGB, 16, 24},      {PNG_COLOR_TYPE_RGB_ALPHA, 8, 24},
                          {PNG_COLOR_TYPE_PALETTE, 1, 1},    {PNG_COLOR_TYPE_PALETTE, 2, 4},
                          {PNG_COLOR_TYPE_PALETTE, 4, 4},    {PNG_COLOR_TYPE_PALETTE, 8, 8}};
    for (const Case& c : cases) {
        for (const bool interlaced : {false, true}) {
            PngSpec spec;
            spec.width = 11;
            spec.height = 9;
            spec.colourType = c.colourType;
            spec.depth = c.depth;
            spec.interlaced = interlaced;
            if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
                for (int i = 0; i < (1 << c.depth); ++i) {
                    spec.palette.push_back(png_color{static_cast<png_byte>(i * 3),
                                                     static_cast<png_byte>(i),
                                                     static_cast<png_byte>(255 - i)});
                }
            }
            const auto file = writePng(spec);
            ASSERT_FALSE(file.empty());
            const auto d = test::decodeMemory(kPngDecoderId, file);
            ASSERT_EQ(d.code, 0) << c.colourType << "/" << c.depth;
            EXPECT_EQ(d.picture.bitCount(), c.bits) << c.colourType << "/" << c.depth;
            // Compare with Qt's own PNG reader, colours only.
            QImage reference;
            ASSERT_TRUE(reference.loadFromData(reinterpret_cast<const uchar*>(file.data()),
                                               static_cast<int>(file.size())));
            reference = reference.convertToFormat(QImage::Format_RGB32);
            const int channels =
                (c.colourType & PNG_COLOR_MASK_COLOR) && !(c.colourType & PNG_COLOR_MASK_PALETTE)
                    ? 3
                    : 1;
            const int tolerance = c.depth == 16 ? 1 : 0;
            if ((c.colourType & PNG_COLOR_MASK_ALPHA) == 0) {
                EXPECT_LE(test::maxChannelDifference(d.picture, reference), tolerance)
                    << c.colourType << "/" << c.depth << " interlaced " << interlaced;
            } else {
                // Alpha is stripped, not composited: compare raw samples.
                const auto row = d.picture.row(2);
                const int first = sample(2, 0, c.depth);
                EXPECT_EQ(std::to_integer<int>(row[channels == 3 ? 2 : 0]), first);
            }
        }
    }
}

TEST(PngDecoder, InfoResolutionAndComment) {
    PngSpec spec;
    spec.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    spec.text = "a comment";
    spec.pixelsPerMetre = 3780;
    const auto file = writePng(spec);
    const auto info = test::infoMemory(kPngDecoderId, file);
    EXPECT_EQ(info.code, 0);
    EXPECT_EQ(info.info.width, 4);
    EXPECT_EQ(info.info.colorDepth, 32);
    EXPECT_EQ(info.comment, "a comment");
    const auto d = test::decodeMemory(kPngDecoderId, file);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.header()->xPelsPerMeter, 3780);
    EXPECT_TRUE(test::identifies(kPngDecoderId, file));
    EXPECT_FALSE(test::identifies(kPngDecoderId, test::bytes({0x89, 'P', 'N', 'X'})));
}

TEST(PngDecoder, HugePicturesAreRefusedWithFour) {
    PngSpec spec;
    spec.colourType = PNG_COLOR_TYPE_RGB;
    auto file = writePng(spec);
    // IHDR at 8: length, type, then width and height; 30000 x 30000.
    for (const std::size_t at : {std::size_t{16}, std::size_t{20}}) {
        file[at] = std::byte{0};
        file[at + 1] = std::byte{0};
        file[at + 2] = std::byte{0x75};
        file[at + 3] = std::byte{0x30};
    }
    const auto* ihdr = reinterpret_cast<const Bytef*>(file.data() + 12);
    const uLong crc = crc32(0, ihdr, 17);
    for (int i = 0; i < 4; ++i) {
        file[29 + static_cast<std::size_t>(i)] = static_cast<std::byte>(crc >> (24 - 8 * i));
    }
    EXPECT_EQ(test::infoMemory(kPngDecoderId, file).info.width, 30000);
    EXPECT_EQ(test::decodeMemory(kPngDecoderId, file).code, 4);
}

TEST(PngDecoder, BrokenFilesGiveCodes) {
    test::TempDir dir;
    PngSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.colourType = PNG_COLOR_TYPE_RGB;
    const auto file = writePng(spec);
    EXPECT_EQ(test::decodeFile(kPngDecoderId, dir.file("missing.png")).code, 8);
    EXPECT_EQ(test::decodeMemory(kPngDecoderId, test::bytes({1, 2, 3})).code, 2);
    for (std::size_t cut = 8; cut < file.size(); cut += file.size() / 13) {
        const std::vector<std::byte> part(file.begin(), file.begin() + static_cast<long>(cut));
        EXPECT_EQ(test::decodeMemory(kPngDecoderId, part).code, 5) << cut;
    }
    auto flipped = file;
    flipped[40] ^= std::byte{0x10};
    EXPECT_NE(test::decodeMemory(kPngDecoderId, flipped).code, 0);
}

} // namespace
} // namespace vemra
