// The built-in JPEG decoder (1001) against files written with libjpeg.

#include "decoder_test_support.h"
#include "imaging/jpeg_decoder.h"
#include "imaging/plugin_module.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <jpeglib.h>

namespace vemra {
namespace {

QImage qtDecode(const std::vector<std::byte>& file) {
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(file.data()), static_cast<int>(file.size()));
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST(JpegDecoder, ColourAndGreyDecodeTo24BitsLikeTheLibrary) {
    for (const int components : {1, 3}) {
        const auto file = test::writeJpeg(37, 21, components);
        EXPECT_TRUE(test::identifies(kJpegDecoderId, file));
        const auto d = test::decodeMemory(kJpegDecoderId, file);
        ASSERT_EQ(d.code, 0);
        EXPECT_EQ(d.picture.bitCount(), 24);
        EXPECT_EQ(d.picture.width(), 37);
        EXPECT_EQ(d.picture.header()->imageSize, d.picture.rowBytes() * 21);
        EXPECT_LE(test::maxChannelDifference(d.picture, qtDecode(file)), 1) << components;
        const auto info = test::infoMemory(kJpegDecoderId, file);
        EXPECT_EQ(info.code, 0);
        EXPECT_EQ(info.info.colorDepth, components * 8);
    }
}

TEST(JpegDecoder, ReductionScalesTheDecodeAndTheFastShiftHalvesIt) {
    const auto file = test::writeJpeg(400, 300, 3);
    for (const auto& [reduction, width] :
         {std::pair{1, 400}, {2, 200}, {4, 100}, {8, 50}, {16, 50}, {0, 400}}) {
        DecodeOptions options;
        options.reduction = reduction;
        const auto d = test::decodeMemory(kJpegDecoderId, file, options);
        ASSERT_EQ(d.code, 0);
        EXPECT_EQ(d.picture.width(), width) << reduction;
    }
    DecodeOptions options;
    options.reduction = 8;
    options.jpegReductionShift = 1;
    EXPECT_EQ(test::decodeMemory(kJpegDecoderId, file, options).picture.width(), 100);
}

struct ProgressLog {
    std::vector<std::pair<int, int>> calls;
    int abortAt = -1;
};

int recordProgress(int done, int total, std::intptr_t user) {
    auto* log = reinterpret_cast<ProgressLog*>(user);
    log->calls.emplace_back(done, total);
    return log->abortAt >= 0 && done >= log->abortAt ? 1 : 0;
}

TEST(JpegDecoder, ProgressInTenPointStepsAndAbort) {
    const auto file = test::writeJpeg(16, 200, 3);
    ProgressLog log;
    DecodeOptions options;
    options.progress = recordProgress;
    options.userData = reinterpret_cast<std::intptr_t>(&log);
    ASSERT_EQ(test::decodeMemory(kJpegDecoderId, file, options).code, 0);
    ASSERT_GE(log.calls.size(), 10u);
    EXPECT_EQ(log.calls.front(), std::make_pair(0, 200));
    EXPECT_EQ(log.calls.back(), std::make_pair(200, 200));
    for (std::size_t i = 1; i + 1 < log.calls.size(); ++i) {
        EXPECT_GE(log.calls[i].first * 100 / 200, log.calls[i - 1].first * 100 / 200 + 10);
    }
    ProgressLog stop;
    stop.abortAt = 60;
    options.userData = reinterpret_cast<std::intptr_t>(&stop);
    const auto aborted = test::decodeMemory(kJpegDecoderId, file, options);
    EXPECT_EQ(aborted.code, 1);
    EXPECT_TRUE(aborted.picture.isNull());
}

TEST(JpegDecoder, CommentHeaderScanAndOffset) {
    const auto file = test::writeJpeg(8, 8, 3, "コメント");
    EXPECT_EQ(test::infoMemory(kJpegDecoderId, file).comment, "コメント");
    // Memory data with a wrapper in front: the scan finds the stream.
    auto wrapped = test::bytes({'J', 'U', 'N', 'K', 0xFF, 0xD8, 0x00});
    wrapped.insert(wrapped.end(), file.begin(), file.end());
    EXPECT_EQ(jpegDataStart(wrapped), 7u);
    EXPECT_EQ(test::decodeMemory(kJpegDecoderId, wrapped).code, 0);
    EXPECT_TRUE(test::identifies(kJpegDecoderId, wrapped));
    // A file read from an offset.
    test::TempDir dir;
    test::writeFile(dir.file("w.bin"), wrapped);
    PictureBuffer p;
    EXPECT_EQ(findBuiltinDecoder(kJpegDecoderId)
                  ->picture(dir.file("w.bin").c_str(), 7, SPI_SOURCE_FILE, p, DecodeOptions{}),
              0);
    EXPECT_EQ(p.width(), 8);
}

TEST(JpegDecoder, CmykIsConvertedToRgb) {
    // libjpeg writes an Adobe marker for CMYK, so the samples read as
    // inverted: 255 everywhere is no ink at all, white.
    const auto white = test::decodeMemory(kJpegDecoderId, test::writeJpeg(8, 8, 4, nullptr, 255));
    ASSERT_EQ(white.code, 0);
    EXPECT_EQ(white.picture.pixel(3, 3), colourWord(255, 255, 255));
    const auto black = test::decodeMemory(kJpegDecoderId, test::writeJpeg(8, 8, 4, nullptr, 0));
    EXPECT_EQ(black.picture.pixel(3, 3), colourWord(0, 0, 0));
    EXPECT_EQ(test::infoMemory(kJpegDecoderId, test::writeJpeg(8, 8, 4)).info.colorDepth, 32);
}

TEST(JpegDecoder, HugePicturesAreRefusedWithFour) {
    auto file = test::writeJpeg(16, 16, 3);
    for (std::size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == std::byte{0xFF} && file[i + 1] == std::byte{0xC0}) {
            // Height and width of the frame header: 60000 x 60000.
            for (const std::size_t at : {i + 5, i + 7}) {
                file[at] = std::byte{0xEA};
                file[at + 1] = std::byte{0x60};
            }
            break;
        }
    }
    EXPECT_EQ(test::infoMemory(kJpegDecoderId, file).info.width, 60000);
    EXPECT_EQ(test::decodeMemory(kJpegDecoderId, file).code, 4);
    DecodeOptions options;
    options.reduction = 8; // 7500 x 7500 fits
    const auto reduced = test::decodeMemory(kJpegDecoderId, file, options);
    EXPECT_EQ(reduced.code, 0);
    EXPECT_EQ(reduced.picture.width(), 7500);
}

TEST(JpegDecoder, BrokenDataNeverCrashes) {
    const auto file = test::writeJpeg(64, 64, 3);
    // Truncated in the scan: the rows decoded so far are the picture.
    const std::vector<std::byte> half(file.begin(),
                                      file.begin() + static_cast<long>(file.size() / 2));
    const auto partial = test::decodeMemory(kJpegDecoderId, half);
    EXPECT_EQ(partial.code, 0);
    EXPECT_EQ(partial.picture.width(), 64);
    // Cut in the header: no picture.
    const std::vector<std::byte> head(file.begin(), file.begin() + 30);
    EXPECT_NE(test::decodeMemory(kJpegDecoderId, head).code, 0);
    EXPECT_EQ(test::infoMemory(kJpegDecoderId, head).code, 2);
    EXPECT_TRUE(test::identifies(kJpegDecoderId, head)); // the signature is trusted
    EXPECT_FALSE(test::identifies(kJpegDecoderId, test::bytes({0xFF, 0xD8, 0x00})));
    for (std::size_t at = 0; at < file.size(); at += 7) {
        auto flipped = file;
        flipped[at] ^= std::byte{0x5A};
        const auto d = test::decodeMemory(kJpegDecoderId, flipped);
        if (d.code == 0) {
            EXPECT_TRUE(d.picture.isValid());
        }
    }
    EXPECT_EQ(test::decodeMemory(kJpegDecoderId, {}).code, 2);
}

// What the registry did before the header was read once: info, then the
// picture at the reduction the info's size gives; beside the one call.
struct Sizes {
    int code = -1;
    PluginPictureInfo info;
    PictureBuffer picture;
};

DecodeOptions boxOptions(int boxWidth, int boxHeight, int reduction = 1) {
    DecodeOptions options;
    options.requestedWidth = boxWidth;
    options.requestedHeight = boxHeight;
    options.reduction = reduction;
    return options;
}

Sizes twoCalls(const std::string& path, std::intptr_t offset, int boxWidth, int boxHeight) {
    Sizes out;
    PictureInfo info{};
    const BuiltinDecoder& jpeg = *findBuiltinDecoder(kJpegDecoderId);
    out.code = jpeg.info(path.c_str(), offset, SPI_SOURCE_FILE, info, DecodeOptions{});
    out.info = takePictureInfo(info);
    if (out.code == 0)
        out.code = jpeg.picture(
            path.c_str(), offset, SPI_SOURCE_FILE, out.picture,
            boxOptions(boxWidth, boxHeight,
                       thumbnailReduction(out.info.width, out.info.height, boxWidth, boxHeight)));
    return out;
}

Sizes oneCall(const std::string& path, std::intptr_t offset, int boxWidth, int boxHeight) {
    Sizes out;
    PictureInfo info{};
    out.code = findBuiltinDecoder(kJpegDecoderId)
                   ->pictureAndInfo(path.c_str(), offset, SPI_SOURCE_FILE, info, out.picture,
                                    boxOptions(boxWidth, boxHeight));
    out.info = takePictureInfo(info);
    return out;
}

// One reading of the header must give exactly what info and picture give:
// the reduction from the header's own size, the comment, every pixel. Where
// the two could differ (a file whose stream starts further in) it declines
// and the registry takes the two calls.
TEST(JpegDecoder, OneHeaderReadGivesWhatInfoAndPictureGive) {
    test::TempDir dir;
    // Each file, its offset, and whether the one call must take it (the
    // files written here) or may decline (the conformance files, some of
    // which start their stream further in).
    struct Case {
        std::string path;
        std::intptr_t offset;
        bool taken;
    };
    std::vector<Case> cases;
    const auto add = [&](const std::string& name, const std::vector<std::byte>& bytes,
                         std::intptr_t offset = 0, bool taken = true) {
        test::writeFile(dir.file(name), bytes);
        cases.push_back({dir.file(name), offset, taken});
    };
    add("colour.jpg", test::writeJpeg(403, 297, 3, "コメント"));
    add("grey.jpg", test::writeJpeg(130, 90, 1));
    add("cmyk.jpg", test::writeJpeg(64, 48, 4));
    const auto plain = test::writeJpeg(240, 180, 3);
    add("cut.jpg", std::vector<std::byte>(plain.begin(), plain.begin() + plain.size() * 2 / 3));
    auto wrapped = test::bytes({'J', 'U', 'N', 'K', 0xFF, 0xD8, 0x00});
    wrapped.insert(wrapped.end(), plain.begin(), plain.end());
    add("wrapped.bin", wrapped, 7);
    test::writeFile(dir.file("wrapped-from-start.bin"), wrapped);
    if (test::hasTestData()) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(test::testDataDir() / "jpeg"))
            if (entry.is_regular_file())
                cases.push_back({entry.path().string(), 0, false});
    }
    for (const auto& [path, offset, taken] : cases) {
        for (const auto& [boxWidth, boxHeight] : {std::pair{0, 0}, {110, 110}, {40, 30}}) {
            SCOPED_TRACE(path + " in " + std::to_string(boxWidth));
            const Sizes one = oneCall(path, offset, boxWidth, boxHeight);
            if (one.code != 0) {
                EXPECT_FALSE(taken);
                continue; // the registry makes the two calls
            }
            const Sizes two = twoCalls(path, offset, boxWidth, boxHeight);
            ASSERT_EQ(two.code, 0);
            EXPECT_EQ(
                std::tie(one.info.width, one.info.height, one.info.bitCount, one.info.comment),
                std::tie(two.info.width, two.info.height, two.info.bitCount, two.info.comment));
            ASSERT_EQ(one.picture.width(), two.picture.width());
            ASSERT_EQ(one.picture.height(), two.picture.height());
            EXPECT_TRUE(std::ranges::equal(one.picture.block(), two.picture.block()));
        }
    }
    // Where the info would find the stream further in than the picture
    // reads it, the one call declines.
    EXPECT_NE(oneCall(dir.file("wrapped-from-start.bin"), 0, 110, 110).code, 0);
}

} // namespace
} // namespace vemra
