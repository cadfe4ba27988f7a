// The step-wise JPEG decoder against the one-call decoder (1001): the same
// pixels, size and result code, however often it is stopped.

#include "decoder_test_support.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/jpeg_steps.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace vemra {
namespace {

using test::Decoded;

Decoded oneCall(const std::string& path, int reduction) {
    DecodeOptions options;
    options.reduction = reduction;
    return test::decodeFile(kJpegDecoderId, path, options);
}

// Decodes in steps, stopped after every batch (`stopAlways`) or never;
// counts the steps it took.
Decoded stepped(const std::string& path, int reduction, bool stopAlways, int* steps = nullptr) {
    JpegStepDecoder decoder;
    Decoded d;
    const ResultCode started = decoder.startFile(path, reduction);
    int count = 0;
    if (started == ResultCode::Success) {
        while (!decoder.step([stopAlways] { return stopAlways; })) {
            ++count;
        }
        ++count;
    }
    EXPECT_TRUE(decoder.finished());
    d.code = static_cast<int>(decoder.result());
    EXPECT_EQ(started == ResultCode::Success ? static_cast<int>(ResultCode::Success) : d.code,
              static_cast<int>(started));
    d.picture = decoder.takePicture();
    if (steps != nullptr)
        *steps = count;
    return d;
}

void expectSame(const Decoded& expected, const Decoded& actual, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(expected.code, actual.code);
    ASSERT_EQ(expected.picture.isValid(), actual.picture.isValid());
    if (!expected.picture.isValid())
        return;
    ASSERT_EQ(expected.picture.width(), actual.picture.width());
    ASSERT_EQ(expected.picture.height(), actual.picture.height());
    ASSERT_EQ(expected.picture.bitCount(), actual.picture.bitCount());
    const auto a = expected.picture.pixels();
    const auto b = actual.picture.pixels();
    ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
}

void expectSameAtEveryReduction(const std::string& path) {
    for (const int reduction : {1, 2, 4, 8}) {
        const Decoded expected = oneCall(path, reduction);
        const std::string what = path + " at 1/" + std::to_string(reduction);
        expectSame(expected, stepped(path, reduction, false), what + ", not stopped");
        expectSame(expected, stepped(path, reduction, true), what + ", stopped every batch");
    }
}

std::vector<std::byte> encoded(int width, int height, bool progressive, bool grey = false) {
    JpegOptions options;
    options.progressive = progressive;
    options.grey = grey;
    options.quality = 85;
    std::vector<std::byte> out;
    EXPECT_TRUE(encodeJpeg(test::patternPicture(width, height, 24), options, out));
    return out;
}

TEST(JpegStepDecoder, DecodesBaselineProgressiveGreyAndCmykLikeTheOneCallDecoder) {
    test::TempDir dir;
    const std::string baseline = dir.file("baseline.jpg");
    const std::string progressive = dir.file("progressive.jpg");
    const std::string cmyk = dir.file("cmyk.jpg");
    const std::string grey = dir.file("grey.jpg");
    test::writeFile(grey, encoded(211, 97, true, true));
    test::writeFile(baseline, encoded(517, 389, false));
    test::writeFile(progressive, encoded(517, 389, true));
    test::writeFile(cmyk, test::writeJpeg(203, 151, 4));
    for (const std::string& path : {baseline, progressive, cmyk, grey})
        expectSameAtEveryReduction(path);
    expectSameAtEveryReduction(std::string(VEMRA_SOURCE_DIR) + "/samples/sunset.jpg");

    // Stopped after every batch, a picture takes many steps; a progressive
    // one also reads its scans in several.
    int steps = 0;
    stepped(baseline, 1, true, &steps);
    EXPECT_GE(steps, 389 / 16);
    const std::vector<std::byte> big = encoded(1600, 1200, true);
    ASSERT_GT(big.size(), 3u * 64 * 1024);
    const std::string bigPath = dir.file("big-progressive.jpg");
    test::writeFile(bigPath, big);
    stepped(bigPath, 8, true, &steps);
    EXPECT_GE(steps, 1200 / 8 / 16 + 3);
    expectSame(oneCall(bigPath, 8), stepped(bigPath, 8, true), "large progressive");
}

TEST(JpegStepDecoder, DamagedFilesGiveTheOneCallResult) {
    test::TempDir dir;
    std::vector<std::string> paths;
    for (const bool progressive : {false, true}) {
        const std::vector<std::byte> whole = encoded(300, 220, progressive);
        const std::string stem = progressive ? "progressive" : "baseline";
        // Cut short at several places, headers included.
        for (const std::size_t keep : {std::size_t{2}, std::size_t{100}, whole.size() / 3,
                                       whole.size() / 2, whole.size() - 2}) {
            paths.push_back(dir.file(stem + "-cut-" + std::to_string(keep) + ".jpg"));
            test::writeFile(paths.back(), {whole.begin(), whole.begin() + static_cast<long>(keep)});
        }
        // Garbage in the middle of the entropy-coded data, and a broken frame.
        std::vector<std::byte> corrupt = whole;
        for (std::size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 64; ++i)
            corrupt[i] = static_cast<std::byte>(i * 37);
        paths.push_back(dir.file(stem + "-corrupt.jpg"));
        test::writeFile(paths.back(), corrupt);
        std::vector<std::byte> badFrame = whole;
        for (std::size_t i = 2; i + 9 < badFrame.size(); ++i) {
            if (badFrame[i] == std::byte{0xFF} &&
                (badFrame[i + 1] == std::byte{0xC0} || badFrame[i + 1] == std::byte{0xC2})) {
                badFrame[i + 9] = std::byte{7}; // seven components
                break;
            }
        }
        paths.push_back(dir.file(stem + "-bad-frame.jpg"));
        test::writeFile(paths.back(), badFrame);
    }
    paths.push_back(dir.file("missing.jpg"));
    paths.push_back(dir.file("empty.jpg"));
    test::writeFile(paths.back(), {});
    for (const std::string& path : paths) {
        for (const int reduction : {1, 8}) {
            const Decoded expected = oneCall(path, reduction);
            expectSame(expected, stepped(path, reduction, false), path);
            expectSame(expected, stepped(path, reduction, true), path + ", stopped");
        }
    }
}

TEST(JpegStepDecoder, ADamagedProgressiveStreamMadeToWaitStillDecodesLikeTheOneCallDecoder) {
    // Found by fuzzing: a progressive stream (behind a wrapper) whose damage
    // lies past the first 64 KB the decoder is given, so libjpeg meets it
    // after a wait and would decode the rest of the picture differently.
    const std::vector<std::byte> bytes =
        test::readFile(std::string(VEMRA_REGRESSION_DIR) + "/jpeg-marker-after-a-wait.jpg");
    ASSERT_GT(bytes.size(), 64u * 1024);
    for (const int reduction : {1, 2, 8}) {
        DecodeOptions options;
        options.reduction = reduction;
        const Decoded expected = test::decodeMemory(kJpegDecoderId, bytes, options);
        EXPECT_EQ(expected.code, 0);
        for (const bool stopAlways : {true, false}) {
            JpegStepDecoder decoder;
            Decoded actual;
            actual.code = static_cast<int>(decoder.startMemory(bytes, reduction));
            while (actual.code == 0 && !decoder.step([&] { return stopAlways; })) {
            }
            if (actual.code == 0) {
                actual.code = static_cast<int>(decoder.result());
                actual.picture = decoder.takePicture();
            }
            expectSame(expected, actual, stopAlways ? "stopped" : "never stopped");
        }
    }
}

TEST(JpegStepDecoder, MemoryInputSkipsAWrapperAndIsOwnedByTheDecoder) {
    std::vector<std::byte> data(128, std::byte{0x55});
    const std::vector<std::byte> jpeg = encoded(120, 90, true);
    data.insert(data.end(), jpeg.begin(), jpeg.end());
    DecodeOptions options;
    options.reduction = 2;
    Decoded expected = test::decodeMemory(kJpegDecoderId, data, options);
    ASSERT_EQ(expected.code, 0);
    JpegStepDecoder decoder;
    ASSERT_EQ(decoder.startMemory(data, 2), ResultCode::Success);
    std::fill(data.begin(), data.end(), std::byte{0}); // the caller's copy goes away
    data = {};
    JpegStepDecoder moved = std::move(decoder);
    while (!moved.step([] { return true; })) {
    }
    ASSERT_EQ(moved.result(), ResultCode::Success);
    expectSame(expected, {0, moved.takePicture()}, "memory");
    EXPECT_FALSE(moved.takePicture().isValid()); // handed over once
}

// The file may be cut short or rewritten by another program between steps;
// the decoder goes on with what it read at the start.
TEST(JpegStepDecoder, AFileChangedBetweenStepsDoesNotDisturbTheDecode) {
    test::TempDir dir;
    const std::string path = dir.file("photo.jpg");
    test::writeFile(path, encoded(900, 700, false));
    const Decoded expected = oneCall(path, 1);
    JpegStepDecoder decoder;
    ASSERT_EQ(decoder.startFile(path, 1), ResultCode::Success);
    ASSERT_FALSE(decoder.step([] { return true; }));
    std::filesystem::resize_file(path, 10);
    while (!decoder.step([] { return true; })) {
    }
    expectSame(expected, {static_cast<int>(decoder.result()), decoder.takePicture()}, "cut");
}

TEST(JpegStepDecoder, ConformanceFilesDecodeLikeTheOneCallDecoder) {
    if (!test::hasTestData())
        GTEST_SKIP() << "no conformance corpus";
    const auto root = test::testDataDir() / "jpeg";
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".jpg" && extension != ".jpeg") ||
            entry.file_size() > 4'000'000)
            continue;
        const std::string path = entry.path().string();
        for (const int reduction : {1, 8}) {
            const Decoded expected = oneCall(path, reduction);
            expectSame(expected, stepped(path, reduction, true), path);
        }
        ++count;
    }
    EXPECT_GT(count, 10);
}

} // namespace
} // namespace vemra
