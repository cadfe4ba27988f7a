#include "colour_test_support.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"
#include "imaging/png_encoder.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <filesystem>

#include <jpeglib.h>
#include <png.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// What an independent JPEG reader makes of our bytes.
struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    std::string comment;
    std::vector<std::uint8_t> pixels; // rows top first, RGB or grey
};

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

bool decodeJpeg(const std::vector<std::byte>& data, DecodedJpeg& out) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1);
    };
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
        out.comment.assign(reinterpret_cast<const char*>(m->data), m->data_length);
    }
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.components = cinfo.output_components;
    out.pixels.resize(static_cast<std::size_t>(out.width * out.height * out.components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + cinfo.output_scanline * out.width * out.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// A smooth picture, which JPEG keeps close.
PictureBuffer gradient(int w, int h) {
    PictureBuffer p = PictureBuffer::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.setPixel(x, y, colourWord(x * 255 / w, y * 255 / h, 128));
        }
    }
    return p;
}

TEST(JpegEncoder, ColourPixelsArriveAsRedGreenBlueWithTheComment) {
    const PictureBuffer p = gradient(64, 48);
    std::vector<std::byte> bytes;
    ASSERT_TRUE(encodeJpeg(p, JpegOptions{}, bytes));
    DecodedJpeg d;
    ASSERT_TRUE(decodeJpeg(bytes, d));
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 48);
    EXPECT_EQ(d.components, 3);
    EXPECT_EQ(d.comment, "By ZRV.NQ");
    for (const auto& [x, y] : {std::pair{0, 0}, {63, 0}, {10, 40}, {63, 47}}) {
        const ColourWord c = p.pixel(x, y);
        const std::uint8_t* q = &d.pixels[static_cast<std::size_t>((y * 64 + x) * 3)];
        EXPECT_NEAR(q[0], redOf(c), 6) << x << "," << y;
        EXPECT_NEAR(q[1], greenOf(c), 6) << x << "," << y;
        EXPECT_NEAR(q[2], blueOf(c), 6) << x << "," << y;
    }
}

TEST(JpegEncoder, GreyModeUsesTheLuminanceWeights) {
    PictureBuffer p = PictureBuffer::create(8, 8, 24);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            p.setPixel(x, y, colourWord(200, 100, 50)); // 0.299*200 + 0.587*100 + 0.114*50 = 124.2
        }
    }
    JpegOptions options;
    options.grey = true;
    options.quality = 100;
    std::vector<std::byte> bytes;
    ASSERT_TRUE(encodeJpeg(p, options, bytes));
    DecodedJpeg d;
    ASSERT_TRUE(decodeJpeg(bytes, d));
    EXPECT_EQ(d.components, 1);
    EXPECT_NEAR(d.pixels[27], 124, 1);
}

TEST(JpegEncoder, PalettePicturesAreSavedInColour) {
    PictureBuffer p = PictureBuffer::create(16, 16, 8, 2);
    p.setPaletteColour(1, colourWord(250, 10, 10));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            p.setPixel(x, y, 1);
        }
    }
    test::TempDir dir;
    ASSERT_TRUE(saveJpeg(dir.file("palette.jpg"), p, 90, false));
    DecodedJpeg d;
    ASSERT_TRUE(decodeJpeg(test::readFile(dir.file("palette.jpg")), d));
    EXPECT_EQ(d.components, 3);
    EXPECT_NEAR(d.pixels[0], 250, 4);
    EXPECT_NEAR(d.pixels[1], 10, 4);
    // The RLE and 16-bit forms convert as well.
    std::vector<std::byte> bytes;
    EXPECT_TRUE(encodeJpeg(compressRle(p), JpegOptions{}, bytes));
    EXPECT_TRUE(encodeJpeg(test::patternPicture(9, 9, 16), JpegOptions{}, bytes));
    EXPECT_FALSE(encodeJpeg(PictureBuffer{}, JpegOptions{}, bytes));
}

TEST(JpegEncoder, ProgressiveFilesDecode) {
    JpegOptions options;
    options.progressive = true;
    std::vector<std::byte> bytes;
    ASSERT_TRUE(encodeJpeg(gradient(40, 30), options, bytes));
    DecodedJpeg d;
    ASSERT_TRUE(decodeJpeg(bytes, d));
    EXPECT_EQ(d.width, 40);
}

struct ProgressLog {
    std::vector<std::pair<int, int>> calls;
    int stopAt = -1;
};

int logProgress(int done, int total, intptr_t user) {
    auto* log = reinterpret_cast<ProgressLog*>(user);
    log->calls.emplace_back(done, total);
    return log->stopAt >= 0 && done >= log->stopAt ? 1 : 0;
}

TEST(JpegEncoder, ProgressComesInTenPointStepsAndCanStop) {
    ProgressLog log;
    JpegOptions options;
    options.progress = logProgress;
    options.userData = reinterpret_cast<intptr_t>(&log);
    std::vector<std::byte> bytes;
    ASSERT_TRUE(encodeJpeg(gradient(10, 100), options, bytes));
    ASSERT_EQ(log.calls.size(), 11u);
    EXPECT_EQ(log.calls.front(), (std::pair{0, 100}));
    EXPECT_EQ(log.calls[5], (std::pair{50, 100}));
    EXPECT_EQ(log.calls.back(), (std::pair{100, 100}));

    test::TempDir dir;
    const std::string path = dir.file("stopped.jpg");
    ProgressLog stopper;
    stopper.stopAt = 50;
    options.userData = reinterpret_cast<intptr_t>(&stopper);
    EXPECT_FALSE(writeJpegFile(path, gradient(10, 100), options));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(dir.path())); // no temporary file either

    test::writeFile(path, test::bytes({'o', 'l', 'd'}));
    EXPECT_FALSE(writeJpegFile(path, gradient(10, 100), options));
    EXPECT_EQ(test::readFile(path), test::bytes({'o', 'l', 'd'}));
    EXPECT_FALSE(saveJpeg(dir.file("no/such/folder.jpg"), gradient(4, 4), 90, false));
}

// What libpng reads back.
struct DecodedPng {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    std::vector<png_color> palette;
    png_color_8 sbit{};
    bool hasSbit = false;
    png_uint_32 xRes = 0;
    png_uint_32 yRes = 0;
    std::string software;
    std::vector<std::byte> icc;
    std::vector<std::vector<std::uint8_t>> rows; // as stored (palette indices or RGB)
};

bool decodePng(const std::vector<std::byte>& data, DecodedPng& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    struct Reader {
        const std::vector<std::byte>* data;
        std::size_t pos;
    } reader{&data, 0};
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, png_size_t n) {
        auto* r = static_cast<Reader*>(png_get_io_ptr(p));
        if (r->pos + n > r->data->size()) {
            png_error(p, "short");
        }
        std::memcpy(out, r->data->data() + r->pos, n);
        r->pos += n;
    });
    png_read_info(png, info);
    png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colourType, &out.interlace,
                 nullptr, nullptr);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) != 0) {
        out.palette.assign(palette, palette + entries);
    }
    png_color_8p sbit = nullptr;
    if (png_get_sBIT(png, info, &sbit) != 0) {
        out.sbit = *sbit;
        out.hasSbit = true;
    }
    int unit = 0;
    png_get_pHYs(png, info, &out.xRes, &out.yRes, &unit);
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; ++i) {
        if (std::string(text[i].key) == "Software") {
            out.software = text[i].text;
        }
    }
    png_charp iccName = nullptr;
    int iccCompression = 0;
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    if (png_get_iCCP(png, info, &iccName, &iccCompression, &icc, &iccLength) != 0) {
        const auto* first = reinterpret_cast<const std::byte*>(icc);
        out.icc.assign(first, first + iccLength);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.rows.assign(out.height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
    for (int pass = 0; pass < passes; ++pass) {
        for (auto& row : out.rows) {
            png_read_row(png, row.data(), nullptr);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

PngResult pngToMemory(const PictureBuffer& p, std::vector<std::byte>& out, std::uint32_t flags = 0,
                      const std::string& software = {}) {
    PngRequest request;
    request.picture = &p;
    request.memoryLength = 1 << 24;
    request.flags = flags;
    request.software = software;
    return writePng(request, &out);
}

TEST(PngEncoder, PalettePicturesKeepIndicesAndColours) {
    for (const int bits : {1, 4, 8}) {
        const PictureBuffer p = test::patternPicture(13, 5, bits);
        std::vector<std::byte> bytes;
        ASSERT_EQ(pngToMemory(p, bytes), PngResult::Success) << bits;
        DecodedPng d;
        ASSERT_TRUE(decodePng(bytes, d));
        EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(d.bitDepth, bits);
        ASSERT_EQ(d.palette.size(), static_cast<std::size_t>(1 << bits));
        EXPECT_EQ(d.palette[1].red, redOf(p.paletteColour(1)));
        EXPECT_EQ(d.palette[1].blue, blueOf(p.paletteColour(1)));
        for (int y = 0; y < 5; ++y) {
            const auto row = p.row(y);
            EXPECT_TRUE(std::equal(d.rows[static_cast<std::size_t>(y)].begin(),
                                   d.rows[static_cast<std::size_t>(y)].end(),
                                   reinterpret_cast<const std::uint8_t*>(row.data())))
                << bits << " bits, row " << y;
        }
    }
}

TEST(PngEncoder, TrueColourRowsAreRedGreenBlue) {
    PictureBuffer p = test::patternPicture(7, 3, 24);
    p.setResolution(2835, 3780);
    std::vector<std::byte> bytes;
    ASSERT_EQ(pngToMemory(p, bytes, kPngInterlaced, "Vemra"), PngResult::Success);
    DecodedPng d;
    ASSERT_TRUE(decodePng(bytes, d));
    EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(d.interlace, PNG_INTERLACE_ADAM7);
    EXPECT_EQ(d.xRes, 2835u);
    EXPECT_EQ(d.yRes, 3780u);
    EXPECT_EQ(d.software, "Vemra");
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 7; ++x) {
            const ColourWord c = p.pixel(x, y);
            const std::uint8_t* q =
                &d.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x) * 3];
            EXPECT_EQ(q[0], redOf(c));
            EXPECT_EQ(q[1], greenOf(c));
            EXPECT_EQ(q[2], blueOf(c));
        }
    }
}

TEST(PngEncoder, SixteenBitPicturesCarryTheirChannelWidths) {
    const PictureBuffer fields =
        pictureFromImage(QImage(4, 2, QImage::Format_RGB16), Compression::BitFields);
    std::vector<std::byte> bytes;
    ASSERT_EQ(pngToMemory(fields, bytes), PngResult::Success);
    DecodedPng d;
    ASSERT_TRUE(decodePng(bytes, d));
    ASSERT_TRUE(d.hasSbit);
    EXPECT_EQ(d.sbit.red, 5);
    EXPECT_EQ(d.sbit.green, 6);
    EXPECT_EQ(d.sbit.blue, 5);
    EXPECT_EQ(d.bitDepth, 8);
    EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_RGB);

    const PictureBuffer plain = test::patternPicture(4, 2, 16);
    ASSERT_EQ(pngToMemory(plain, bytes), PngResult::Success);
    ASSERT_TRUE(decodePng(bytes, d));
    EXPECT_EQ(d.sbit.green, 5);
    PictureBuffer expected = plain.duplicate();
    ASSERT_TRUE(convertTo24Bits(expected));
    EXPECT_EQ(d.rows[0][0], redOf(expected.pixel(0, 0)));
}

TEST(PngEncoder, RefusalsAndResultCodes) {
    DibHeader h;
    h.width = 2;
    h.height = 2;
    h.bitCount = 32;
    h.compression = 3;
    PictureBuffer odd = PictureBuffer::create(h);
    storeU32(odd.block().data() + 40, 0xFF000000); // masks other than 8-8-8
    std::vector<std::byte> bytes;
    EXPECT_EQ(pngToMemory(odd, bytes), PngResult::UnsupportedLayout);
    storeU32(odd.block().data() + 40, 0xFF0000);
    storeU32(odd.block().data() + 44, 0xFF00);
    storeU32(odd.block().data() + 48, 0xFF);
    EXPECT_EQ(pngToMemory(odd, bytes), PngResult::Success);

    EXPECT_EQ(pngToMemory(PictureBuffer::create(4, 4, 2), bytes), PngResult::UnsupportedLayout);
    EXPECT_EQ(pngToMemory(PictureBuffer::allocate(10), bytes), PngResult::BadHeader);
    EXPECT_EQ(pngToMemory(PictureBuffer::create(1'000'001, 1, 1), bytes), PngResult::BadHeader);

    PngRequest wrongSize;
    wrongSize.size = 39;
    const PictureBuffer p = test::patternPicture(2, 2, 24);
    wrongSize.picture = &p;
    EXPECT_EQ(writePng(wrongSize), PngResult::BadRequest);

    PngRequest small;
    small.picture = &p;
    small.memoryLength = 10; // far too little room
    EXPECT_EQ(writePng(small, &bytes), PngResult::LibraryError);
    EXPECT_TRUE(bytes.empty());
}

TEST(PngEncoder, FilesAppearWholeOrNotAtAll) {
    test::TempDir dir;
    const PictureBuffer p = test::patternPicture(5, 5, 8);
    PngRequest request;
    request.picture = &p;
    request.fileName = dir.file("ok.png");
    ASSERT_EQ(writePng(request), PngResult::Success);
    const QImage back(QString::fromStdString(request.fileName));
    EXPECT_EQ(back.size(), QSize(5, 5));
    request.fileName = dir.file("missing/x.png");
    EXPECT_EQ(writePng(request), PngResult::CannotCreate);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Pictures of every layout the writer takes, filled with noise (the fourth
// byte of 32-bit pixels and the padding of true-colour rows too).
PictureBuffer noisePicture(const DibHeader& h, std::span<const std::uint32_t> masks = {}) {
    PictureBuffer p = PictureBuffer::create(h);
    std::byte* m = p.block().data() + kInfoHeaderSize;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        storeU32(m + 4 * i, masks[i]);
    }
    std::uint32_t state = static_cast<std::uint32_t>(h.width * 7919 + h.height);
    for (auto& b : p.pixels()) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::byte>(state >> 24);
    }
    return p;
}

// A picture under a 12-byte header: 24 bits, or 8 bits with a 3-byte table.
PictureBuffer corePicture(int width, int height, int bits) {
    const std::size_t table = bits == 8 ? 256 * 3 : 0;
    const std::size_t rowBytes = dibRowBytes(bits, width);
    std::vector<std::byte> block(kCoreHeaderSize + table +
                                 rowBytes * static_cast<std::size_t>(height));
    storeU32(block.data(), kCoreHeaderSize);
    const auto put16 = [&](std::size_t at, int v) {
        block[at] = static_cast<std::byte>(v & 0xFF);
        block[at + 1] = static_cast<std::byte>(v >> 8);
    };
    put16(4, width);
    put16(6, height);
    put16(8, 1);
    put16(10, bits);
    std::uint32_t state = 99;
    for (std::size_t i = kCoreHeaderSize; i < block.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        block[i] = static_cast<std::byte>(state >> 24);
    }
    return PictureBuffer::fromBlock(block);
}

// Every layout, at widths that end rows on each byte and pixel boundary,
// heights that leave Adam7 passes empty, and one picture large enough for
// several IDAT chunks, plain and interlaced: what libpng reads back is the
// picture's own indices, or exactly its colours as converted to 24 bits.
TEST(PngEncoder, EveryLayoutReadsBackExactly) {
    enum Kind {
        Palette1,
        Palette4,
        Palette8,
        Rle4,
        Rle8,
        Plain16,
        Fields565,
        Plain24,
        TopDown24,
        Plain32,
        Fields888,
        Core8,
        Core24
    };
    const struct {
        Kind kind;
        const char* name;
    } kinds[] = {{Palette1, "1 bit"},     {Palette4, "4 bits"}, {Palette8, "8 bits"},
                 {Rle4, "RLE4"},          {Rle8, "RLE8"},       {Plain16, "16 bits"},
                 {Fields565, "5-6-5"},    {Plain24, "24 bits"}, {TopDown24, "24 top-down"},
                 {Plain32, "32 bits"},    {Fields888, "8-8-8"}, {Core8, "core 8 bits"},
                 {Core24, "core 24 bits"}};
    std::vector<std::pair<int, int>> sizes;
    for (int width = 1; width <= 17; ++width) {
        sizes.emplace_back(width, width % 3 == 0 ? 1 : 5);
    }
    sizes.emplace_back(33, 9);
    sizes.emplace_back(257, 200);
    const std::array<std::uint32_t, 3> masks565{0xF800, 0x07E0, 0x001F};
    const std::array<std::uint32_t, 3> masks888{0xFF0000, 0xFF00, 0xFF};
    for (const auto& k : kinds) {
        for (const auto& [width, height] : sizes) {
            DibHeader h;
            h.width = width;
            h.height = height;
            PictureBuffer p;
            switch (k.kind) {
            case Palette1:
                p = test::patternPicture(width, height, 1);
                break;
            case Palette4:
                p = test::patternPicture(width, height, 4);
                break;
            case Palette8:
                p = test::patternPicture(width, height, 8);
                break;
            case Rle4:
                p = compressRle(test::patternPicture(width, height, 4));
                break;
            case Rle8:
                p = compressRle(test::patternPicture(width, height, 8));
                break;
            case Plain16:
                p = test::patternPicture(width, height, 16);
                break;
            case Fields565:
                h.bitCount = 16;
                h.compression = 3;
                p = noisePicture(h, masks565);
                break;
            case Plain24:
                p = noisePicture(h);
                break;
            case TopDown24:
                h.height = -height;
                p = noisePicture(h);
                break;
            case Plain32:
                h.bitCount = 32;
                p = noisePicture(h);
                break;
            case Fields888:
                h.bitCount = 32;
                h.compression = 3;
                h.height = -height;
                p = noisePicture(h, masks888);
                break;
            case Core8:
                p = corePicture(width, height, 8);
                break;
            case Core24:
                p = corePicture(width, height, 24);
                break;
            }
            ASSERT_TRUE(p.isValid()) << k.name << " " << width;
            // What the rows must read back as: indices for palette pictures,
            // colours through the 24-bit conversion for the rest.
            PictureBuffer indices = p.duplicate();
            if (k.kind == Rle4 || k.kind == Rle8) {
                ASSERT_TRUE(expandRle(indices));
            }
            const bool palette = indices.bitCount() <= 8 && !indices.isCoreHeader();
            const PictureBuffer colours = palette ? PictureBuffer{} : copyAs24Bits(p);
            for (const std::uint32_t flags : {0u, kPngInterlaced}) {
                SCOPED_TRACE(testing::Message() << k.name << ", " << width << " x " << height
                                                << (flags != 0 ? ", interlaced" : ""));
                std::vector<std::byte> bytes;
                ASSERT_EQ(pngToMemory(p, bytes, flags), PngResult::Success);
                DecodedPng d;
                ASSERT_TRUE(decodePng(bytes, d));
                ASSERT_EQ(d.width, static_cast<png_uint_32>(width));
                ASSERT_EQ(d.height, static_cast<png_uint_32>(height));
                ASSERT_EQ(d.colourType, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB);
                ASSERT_EQ(d.bitDepth, palette ? indices.bitCount() : 8);
                int wrong = 0;
                for (int y = 0; y < height; ++y) {
                    const auto& row = d.rows[static_cast<std::size_t>(y)];
                    if (palette) {
                        const auto stored = indices.row(y);
                        wrong += !std::equal(row.begin(), row.end(),
                                             reinterpret_cast<const std::uint8_t*>(stored.data()));
                        continue;
                    }
                    for (int x = 0; x < width; ++x) {
                        const ColourWord c = colours.pixel(x, y);
                        const std::uint8_t* q = &row[static_cast<std::size_t>(x) * 3];
                        wrong += q[0] != redOf(c) || q[1] != greenOf(c) || q[2] != blueOf(c);
                    }
                }
                EXPECT_EQ(wrong, 0);
            }
        }
    }
}

TEST(PngEncoder, ProfileAndResolutionTravelWithTrueColourRows) {
    PictureBuffer p = test::patternPicture(300, 40, 24);
    p.setResolution(3780, 3780);
    const std::vector<std::byte> icc = test::adobeRgbProfile();
    PngRequest request;
    request.picture = &p;
    request.memoryLength = 1 << 24;
    request.iccProfile = icc;
    std::vector<std::byte> bytes;
    ASSERT_EQ(writePng(request, &bytes), PngResult::Success);
    DecodedPng d;
    ASSERT_TRUE(decodePng(bytes, d));
    EXPECT_EQ(d.icc, icc);
    EXPECT_EQ(d.xRes, 3780u);
    EXPECT_EQ(d.rows[39][299 * 3], redOf(p.pixel(299, 39)));
}

TEST(PngEncoder, RlePicturesAreExpanded) {
    const PictureBuffer plain = test::patternPicture(9, 4, 4);
    std::vector<std::byte> bytes;
    ASSERT_EQ(pngToMemory(compressRle(plain), bytes), PngResult::Success);
    DecodedPng d;
    ASSERT_TRUE(decodePng(bytes, d));
    EXPECT_EQ(d.bitDepth, 4);
    EXPECT_EQ(d.rows[1][0], std::to_integer<std::uint8_t>(plain.row(1)[0]));
}

} // namespace
} // namespace vemra

#include "imaging/bmp_file.h"
#include "imaging/picture_save.h"

namespace vemra {
namespace {

TEST(PictureSave, TargetDepthsReduceOrWidenFirst) {
    test::TempDir dir;
    const PictureBuffer photo = test::patternPicture(24, 16, 24);
    ASSERT_TRUE(saveBmp(dir.file("keep.bmp"), photo, 0));
    EXPECT_EQ(readBmpFile(dir.file("keep.bmp")).picture.bitCount(), 24);
    ASSERT_TRUE(saveBmp(dir.file("four.bmp"), photo, 4));
    const ReadResult four = readBmpFile(dir.file("four.bmp"));
    EXPECT_EQ(four.picture.bitCount(), 4);
    EXPECT_LE(four.picture.colourEntries(), 16);
    ASSERT_TRUE(saveBmp(dir.file("wide.bmp"), test::patternPicture(5, 5, 8), 24));
    EXPECT_EQ(readBmpFile(dir.file("wide.bmp")).picture.bitCount(), 24);
    ASSERT_TRUE(savePng(dir.file("eight.png"), photo, 8));
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("eight.png"))).format(),
              QImage::Format_Indexed8);
    EXPECT_FALSE(savePng(dir.file("none.png"), PictureBuffer{}, 8));
    EXPECT_FALSE(fs::exists(dir.file("none.png")));
}

} // namespace
} // namespace vemra
