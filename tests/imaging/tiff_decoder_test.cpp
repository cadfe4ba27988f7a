// The built-in TIFF decoder (1003) against files written with libtiff.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tiffio.h>

namespace vemra {
namespace {

struct TiffSpec {
    int width = 6;
    int height = 5;
    int samples = 1;
    int bits = 8;
    int photometric = PHOTOMETRIC_MINISBLACK;
    int rowsPerStrip = 2;
    std::vector<std::uint16_t> colourMap; // red, green, blue, each 2^bits entries
};

// Sample s of row y is (y * 40 + s * 9) masked to the depth, packed as TIFF
// packs them (most significant bits first).
int sampleValue(int y, int s, int bits) {
    return (y * 40 + s * 9) & ((1 << bits) - 1);
}

void writeTiff(const std::string& path, const TiffSpec& spec) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (!spec.colourMap.empty()) {
        const std::size_t n = spec.colourMap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, spec.colourMap.data(), spec.colourMap.data() + n,
                     spec.colourMap.data() + 2 * n);
    }
    const tmsize_t lineBytes = TIFFScanlineSize(tif);
    for (int y = 0; y < spec.height; ++y) {
        std::vector<unsigned char> line(static_cast<std::size_t>(lineBytes));
        for (int s = 0; s < spec.width * spec.samples; ++s) {
            const int v = sampleValue(y, s, spec.bits);
            if (spec.bits == 16) {
                reinterpret_cast<std::uint16_t*>(line.data())[s] = static_cast<std::uint16_t>(v);
            } else if (spec.bits == 8) {
                line[static_cast<std::size_t>(s)] = static_cast<unsigned char>(v);
            } else {
                const int perByte = 8 / spec.bits;
                line[static_cast<std::size_t>(s / perByte)] |=
                    static_cast<unsigned char>(v << (8 - spec.bits * (s % perByte + 1)));
            }
        }
        ASSERT_EQ(TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0), 1);
    }
    TIFFClose(tif);
}

TEST(TiffDecoder, GreyRampsFollowThePhotometricInterpretation) {
    test::TempDir dir;
    for (const int photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        for (const int bits : {1, 4, 8}) {
            TiffSpec spec;
            spec.bits = bits;
            spec.photometric = photometric;
            const std::string path = dir.file("g.tif");
            writeTiff(path, spec);
            const auto d = test::decodeFile(kTiffDecoderId, path);
            ASSERT_EQ(d.code, 0);
            EXPECT_EQ(d.picture.bitCount(), bits);
            EXPECT_EQ(d.picture.header()->xPelsPerMeter, 2834);
            const int top = (1 << bits) - 1;
            const int white = photometric == PHOTOMETRIC_MINISWHITE ? 0 : top;
            EXPECT_EQ(d.picture.paletteColour(white), colourWord(255, 255, 255)) << bits;
            for (int y = 0; y < spec.height; ++y) {
                for (int x = 0; x < spec.width; ++x) {
                    ASSERT_EQ(d.picture.pixel(x, y),
                              static_cast<std::uint32_t>(sampleValue(y, x, bits)));
                }
            }
            const auto info = test::infoFile(kTiffDecoderId, path);
            EXPECT_EQ(info.info.colorDepth, bits);
        }
    }
}

TEST(TiffDecoder, PalettesOfEightAndSixteenBitEntries) {
    test::TempDir dir;
    for (const int scale : {1, 257}) {
        TiffSpec spec;
        spec.photometric = PHOTOMETRIC_PALETTE;
        spec.bits = 4;
        for (int channel = 0; channel < 3; ++channel) {
            for (int i = 0; i < 16; ++i) {
                spec.colourMap.push_back(static_cast<std::uint16_t>((i * 16 + channel) * scale));
            }
        }
        writeTiff(dir.file("p.tif"), spec);
        const auto d = test::decodeFile(kTiffDecoderId, dir.file("p.tif"));
        ASSERT_EQ(d.code, 0);
        EXPECT_EQ(d.picture.paletteColour(5), colourWord(80, 81, 82)) << scale;
    }
}

TEST(TiffDecoder, RgbAndOtherLayoutsBecome24Bits) {
    test::TempDir dir;
    struct Case {
        int samples;
        int bits;
    };
    for (const Case c : {Case{3, 8}, Case{3, 16}, Case{4, 8}}) {
        TiffSpec spec;
        spec.samples = c.samples;
        spec.bits = c.bits;
        spec.photometric = PHOTOMETRIC_RGB;
        writeTiff(dir.file("c.tif"), spec);
        const auto d = test::decodeFile(kTiffDecoderId, dir.file("c.tif"));
        ASSERT_EQ(d.code, 0) << c.samples << "/" << c.bits;
        EXPECT_EQ(d.picture.bitCount(), 24);
        const int shift = c.bits - 8;
        const ColourWord expected = colourWord(sampleValue(2, 3 * c.samples, c.bits) >> shift,
                                               sampleValue(2, 3 * c.samples + 1, c.bits) >> shift,
                                               sampleValue(2, 3 * c.samples + 2, c.bits) >> shift);
        // 16-bit samples are scaled by libtiff, which may round.
        const ColourWord got = d.picture.pixel(3, 2);
        EXPECT_NEAR(redOf(got), redOf(expected), 1);
        EXPECT_NEAR(greenOf(got), greenOf(expected), 1);
        EXPECT_NEAR(blueOf(got), blueOf(expected), 1);
    }
}

TEST(TiffDecoder, HugeAndAbsurdHeadersGiveCodes) {
    test::TempDir dir;
    TiffSpec spec;
    writeTiff(dir.file("t.tif"), spec);
    // Rewrite width and height in the directory: 100000 x 100000.
    TIFF* tif = TIFFOpen(dir.file("t.tif").c_str(), "r+");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 100000);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 100000);
    TIFFRewriteDirectory(tif);
    TIFFClose(tif);
    EXPECT_EQ(test::decodeFile(kTiffDecoderId, dir.file("t.tif")).code, 4);
    EXPECT_EQ(test::infoFile(kTiffDecoderId, dir.file("t.tif")).info.width, 100000);
}

TEST(TiffDecoder, BrokenStripsKeepTheRowsReadSoFar) {
    test::TempDir dir;
    TiffSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.rowsPerStrip = 8;
    writeTiff(dir.file("t.tif"), spec);
    auto file = test::readFile(dir.file("t.tif"));
    EXPECT_TRUE(test::identifies(kTiffDecoderId, file));
    EXPECT_FALSE(test::identifies(kTiffDecoderId, test::bytes({'I', 'I', 43, 0})));
    const auto full = test::decodeMemory(kTiffDecoderId, file);
    ASSERT_EQ(full.code, 0);
    // Damage the compressed data of the fifth strip: reading stops there.
    TIFF* tif = TIFFOpen(dir.file("t.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::uint64_t* offsets = nullptr;
    ASSERT_EQ(TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets), 1);
    const std::uint64_t fifth = offsets[4];
    TIFFClose(tif);
    file[fifth] = std::byte{0xFF};
    file[fifth + 1] = std::byte{0xFF};
    file[fifth + 2] = std::byte{0xFF};
    const auto damaged = test::decodeMemory(kTiffDecoderId, file);
    ASSERT_EQ(damaged.code, 0);
    EXPECT_EQ(damaged.picture.height(), 64);
    EXPECT_EQ(damaged.picture.pixel(10, 31), full.picture.pixel(10, 31));
    EXPECT_EQ(damaged.picture.pixel(10, 63), 0u);
    const std::vector<std::byte> cut(file.begin(), file.begin() + 300);
    EXPECT_NE(test::decodeMemory(kTiffDecoderId, cut).code, 0);
    EXPECT_EQ(test::decodeMemory(kTiffDecoderId, test::bytes({'I', 'I', 42, 0, 1})).code, 3);
    EXPECT_EQ(test::decodeFile(kTiffDecoderId, dir.file("none.tif")).code, 8);
}

} // namespace
} // namespace vemra
