#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"
#include "platform/byte_source.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <random>

namespace vemra {
namespace {

namespace fs = std::filesystem;

ReadResult readBytes(const std::vector<std::byte>& file) {
    return readBmp(MemorySource(file));
}

std::vector<std::byte> blockOf(const PictureBuffer& p) {
    return {p.block().begin(), p.block().end()};
}

TEST(BmpFile, EveryDepthRoundTripsByteForByte) {
    test::TempDir dir;
    std::vector<PictureBuffer> pictures;
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        pictures.push_back(test::patternPicture(19, 7, bits));
    }
    pictures.push_back(compressRle(test::patternPicture(19, 7, 8)));
    pictures.push_back(compressRle(test::patternPicture(19, 7, 4)));
    pictures.push_back(
        pictureFromImage(QImage(5, 3, QImage::Format_RGB16), Compression::BitFields));
    for (const PictureBuffer& p : pictures) {
        ASSERT_TRUE(p.isValid());
        const std::string path = dir.file("round.bmp");
        ASSERT_TRUE(writeBmpFile(path, p));
        const auto file = test::readFile(path);
        EXPECT_EQ(file.size(), 14 + p.totalBytes());
        EXPECT_EQ(loadU32(file.data() + 2), file.size());
        EXPECT_EQ(loadU32(file.data() + 10), 14 + p.pixelOffset());
        EXPECT_EQ(file, encodeBmp(p));
        ReadResult read = readBmpFile(path);
        ASSERT_TRUE(read) << p.bitCount() << " bits";
        EXPECT_EQ(blockOf(read.picture), blockOf(p)) << p.bitCount() << " bits";
    }
}

TEST(BmpFile, QtReadsWhatWeWriteAndWeReadWhatQtWrites) {
    test::TempDir dir;
    for (const int bits : {1, 8, 24, 32}) {
        PictureBuffer ours = test::patternPicture(21, 9, bits);
        if (bits == 32) {
            // Qt takes the fourth byte of a plain 32-bit file as padding.
            for (auto& b : ours.pixels()) {
                b = b & std::byte{0x7F};
            }
        }
        const std::string path = dir.file("ours.bmp");
        ASSERT_TRUE(writeBmpFile(path, ours));
        const QImage theirs(QString::fromStdString(path));
        ASSERT_FALSE(theirs.isNull()) << bits;
        const QImage expected = pictureToImage(ours);
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 21; ++x) {
                EXPECT_EQ(theirs.pixel(x, y) & 0xFFFFFF, expected.pixel(x, y) & 0xFFFFFF)
                    << bits << " bits at " << x << "," << y;
            }
        }
    }
    QImage source(23, 11, QImage::Format_RGB32);
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 23; ++x) {
            source.setPixel(x, y, qRgb(x * 11, y * 23, (x ^ y) * 7));
        }
    }
    const std::string qtPath = dir.file("qt.bmp");
    ASSERT_TRUE(source.save(QString::fromStdString(qtPath), "BMP"));
    ReadResult read = readBmpFile(qtPath);
    ASSERT_TRUE(read);
    ASSERT_TRUE(convertTo24Bits(read.picture));
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 23; ++x) {
            const QRgb c = source.pixel(x, y);
            EXPECT_EQ(read.picture.pixel(x, y), colourWord(qRed(c), qGreen(c), qBlue(c)));
        }
    }
}

TEST(BmpFile, UnwritableTargetLeavesNoFileBehind) {
    test::TempDir dir;
    const PictureBuffer p = test::patternPicture(4, 4, 24);
    EXPECT_FALSE(writeBmpFile(dir.file("missing/folder/x.bmp"), p));
    test::writeFile(dir.file("plain"), test::bytes({1}));
    EXPECT_FALSE(writeBmpFile(dir.file("plain/x.bmp"), p));
    EXPECT_FALSE(writeBmpFile(dir.path().string(), p)); // a folder cannot be replaced by a file
    EXPECT_TRUE(fs::is_directory(dir.path()));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"plain"});
}

TEST(BmpFile, FailedWriteKeepsTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.file("keep.bmp");
    test::writeFile(path, test::bytes({'o', 'l', 'd'}));
    EXPECT_FALSE(writeBmpFile(path, PictureBuffer{}));
    PictureBuffer core = PictureBuffer::allocate(12 + 3 * 2 + 4);
    storeU32(core.block().data(), 12);
    EXPECT_FALSE(writeBmpFile(path, core)); // only 40-byte headers are written
    EXPECT_EQ(test::readFile(path), test::bytes({'o', 'l', 'd'}));
}

TEST(BmpFile, TopDownFilesBecomeBottomUp) {
    // Two rows of one 8-bit pixel: the first stored row is the top one.
    auto dib = test::infoHeader(1, -2, 8, 0, 0, 2);
    dib.resize(40 + 8);
    const auto file = test::bmpFile(dib, test::bytes({1, 0, 0, 0, 0, 0, 0, 0}));
    ReadResult read = readBytes(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.header()->height, 2);
    EXPECT_EQ(read.picture.pixel(0, 0), 1u);
    EXPECT_EQ(read.picture.pixel(0, 1), 0u);
}

TEST(BmpFile, CoreHeaderIsWidened) {
    std::vector<std::byte> dib(12);
    storeU32(dib.data(), 12);
    storeU16(dib.data() + 4, 2);
    storeU16(dib.data() + 6, 1);
    storeU16(dib.data() + 8, 1);
    storeU16(dib.data() + 10, 1);
    for (const int b : {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}) { // two 3-byte entries
        dib.push_back(static_cast<std::byte>(b));
    }
    ReadResult read = readBytes(test::bmpFile(dib, test::bytes({0x40, 0, 0, 0})));
    ASSERT_TRUE(read);
    EXPECT_FALSE(read.picture.isCoreHeader());
    EXPECT_EQ(read.picture.colourTableBytes(), 8u);
    EXPECT_EQ(read.picture.paletteColour(1), colourWord(0x60, 0x50, 0x40));
    EXPECT_EQ(read.picture.pixel(1, 0), 1u);
}

TEST(BmpFile, ShortLastRowReadsBlank) {
    const auto pixels = test::bytes({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
    auto file = test::bmpFile(test::infoHeader(2, 2, 24), pixels);
    file.resize(file.size() - 3); // the top row loses its last red byte and padding
    ReadResult read = readBytes(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.pixel(0, 0), colourWord(9, 8, 7));
    EXPECT_EQ(read.picture.pixel(1, 0), colourWord(0, 11, 10));
}

TEST(BmpFile, PixelOffsetInsideTheColourTableMeansAfterIt) {
    auto dib = test::infoHeader(1, 1, 8, 0, 0, 2);
    for (const int b : {0, 0, 0, 0, 9, 9, 9, 0}) {
        dib.push_back(static_cast<std::byte>(b));
    }
    ReadResult read = readBytes(test::bmpFile(dib, test::bytes({1, 0, 0, 0}), 54));
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.pixel(0, 0), 1u);
}

TEST(BmpFile, BitFieldMasksPrecedeTheColourTable) {
    auto dib = test::infoHeader(1, 1, 16, 3, 0, 1);
    for (const int b : {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 1, 2, 3, 0}) {
        dib.push_back(static_cast<std::byte>(b));
    }
    ReadResult read = readBytes(test::bmpFile(dib, test::bytes({0x00, 0xF8, 0, 0})));
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.paletteColour(0), colourWord(3, 2, 1));
    ASSERT_TRUE(convertTo24Bits(read.picture));
    EXPECT_EQ(read.picture.pixel(0, 0), colourWord(255, 3, 7));
}

TEST(BmpFile, RleSizeFieldIsTakenFromTheFileWhenMissing) {
    auto dib = test::infoHeader(2, 1, 8, 1, 0);
    dib.resize(40 + 1024);
    ReadResult read = readBytes(test::bmpFile(dib, test::bytes({2, 5, 0, 1})));
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.imageBytes(), 4u);
    ASSERT_TRUE(expandRle(read.picture));
    EXPECT_EQ(read.picture.pixel(1, 0), 5u);
}

TEST(BmpFile, RefusesBrokenAndHostileFiles) {
    auto good = test::infoHeader(2, 2, 24);
    const auto pixels = std::vector<std::byte>(16);
    ASSERT_TRUE(readBytes(test::bmpFile(good, pixels)));

    auto badSignature = test::bmpFile(good, pixels);
    badSignature[0] = std::byte{'X'};
    auto header64 = good;
    header64.resize(64);
    storeU32(header64.data(), 64);
    auto header108 = good;
    header108.resize(108);
    storeU32(header108.data(), 108);
    const auto whole = test::bmpFile(good, pixels);
    const std::vector<std::byte> headerCut(whole.begin(), whole.begin() + 30);
    auto truncated = test::bmpFile(good, pixels);
    truncated.resize(truncated.size() - 9); // more than one row of 8 bytes

    struct Case {
        const char* what;
        std::vector<std::byte> file;
        ResultCode code;
    } cases[] = {
        {"empty", {}, ResultCode::InvalidData},
        {"short file header", test::bytes({'B', 'M', 0, 0}), ResultCode::InvalidData},
        {"signature", badSignature, ResultCode::InvalidData},
        {"header 64", test::bmpFile(header64, pixels), ResultCode::UnsupportedKind},
        {"header 108", test::bmpFile(header108, pixels), ResultCode::UnsupportedKind},
        {"header cut", headerCut, ResultCode::InvalidData},
        {"pixels past the end", test::bmpFile(good, pixels, 100), ResultCode::InvalidData},
        {"pixels inside the headers", test::bmpFile(good, pixels, 20), ResultCode::InvalidData},
        {"pixel data cut", truncated, ResultCode::BrokenData},
        {"absurd size", test::bmpFile(test::infoHeader(3000000, 2000000, 24), pixels),
         ResultCode::InvalidData},
        {"colour table past the end", test::bmpFile(test::infoHeader(2, 2, 8), pixels, 54),
         ResultCode::InvalidData},
    };
    for (const Case& c : cases) {
        const ReadResult r = readBytes(c.file);
        EXPECT_EQ(r.code, c.code) << c.what;
        EXPECT_TRUE(r.picture.isNull()) << c.what;
    }
    EXPECT_EQ(readBmpFile("/nonexistent/x.bmp").code, ResultCode::OpenFailure);
    EXPECT_EQ(readBmpFile("/").code, ResultCode::OpenFailure);
}

TEST(BmpFile, MutatedFilesNeverReadOutOfBounds) {
    // Random damage to headers and data: every outcome must be a clean
    // refusal or a picture whose layout fits its block (AddressSanitizer
    // watches the reads).
    std::vector<std::vector<std::byte>> seeds;
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        seeds.push_back(encodeBmp(test::patternPicture(9, 5, bits)));
    }
    seeds.push_back(encodeBmp(compressRle(test::patternPicture(9, 5, 8))));
    seeds.push_back(encodeBmp(compressRle(test::patternPicture(9, 5, 4))));
    std::mt19937 random(2024);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::byte> file = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            // Most damage goes to the headers, where it does the most harm.
            const std::size_t limit =
                random() % 4 == 0 ? file.size() : std::min<std::size_t>(file.size(), 60);
            file[random() % limit] = static_cast<std::byte>(random());
        }
        if (random() % 8 == 0) {
            file.resize(random() % file.size());
        }
        ReadResult r = readBytes(file);
        if (r) {
            ASSERT_TRUE(r.picture.isValid());
            // Damaged RLE headers may legally describe huge pictures; reading
            // them is the test, converting them only costs time.
            if (static_cast<std::int64_t>(r.picture.width()) * r.picture.height() > 100000) {
                continue;
            }
            (void)expandRle(r.picture);
            (void)convertTo24Bits(r.picture);
            (void)pictureToImage(r.picture);
        }
    }
}

} // namespace
} // namespace vemra
