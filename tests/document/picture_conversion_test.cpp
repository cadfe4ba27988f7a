#include "document/conversion_pool.h"
#include "document/picture_conversion.h"
#include "document/save_format_options.h"
#include "imaging/bmp_file.h"
#include "imaging/decoder.h"
#include "imaging/jpeg_decoder.h"
#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

SaveFormatOptions sized(int mode, int width, int height, std::string scale = "1", int angle = 0,
                        bool aspect = true) {
    SaveFormatOptions o;
    o.sizeMode = mode;
    o.width = width;
    o.height = height;
    o.scale = std::move(scale);
    o.rotateAngle = angle;
    o.aspect = aspect;
    return o;
}

TEST(PictureConversion, PlanGivesTheSizeAndTheLargestReductionThatKeepsIt) {
    struct Case {
        PictureSize full;
        SaveFormatOptions options;
        PictureSize target;
        int reduction;
    };
    const Case cases[] = {
        {{1000, 750}, sized(2, 0, 0, "0.5"), {500, 375}, 2},
        {{4000, 3000}, sized(1, 1000, 750), {1000, 750}, 4},
        {{4000, 3000}, sized(1, 1000, 1000), {1000, 750}, 4},
        {{4001, 3001}, sized(1, 1000, 750), {999, 750}, 4},
        {{4000, 3000}, sized(1, 1001, 751), {1001, 750}, 2},
        // Turned a quarter: the box holds the upright picture.
        {{4000, 3000}, sized(1, 750, 1000, "1", 90), {750, 1000}, 4},
        {{4000, 3000}, sized(1, 500, 100, "1", 0, false), {500, 100}, 8},
        {{4000, 3000}, sized(1, 501, 100, "1", 0, false), {501, 100}, 4},
        {{4000, 3000}, sized(0, 0, 0, "1", 360), {4000, 3000}, 1},
        {{4000, 3000}, sized(0, 0, 0, "1", 270), {3000, 4000}, 1},
        {{100, 100}, sized(2, 0, 0, "0.001"), {1, 1}, 8},
    };
    for (const Case& c : cases) {
        const ConversionPlan plan = planConversion(c.full, c.options);
        EXPECT_EQ(plan.target.width, c.target.width) << c.full.width << " " << c.options.sizeMode;
        EXPECT_EQ(plan.target.height, c.target.height) << c.full.width;
        EXPECT_EQ(plan.reduction, c.reduction) << c.full.width << "x" << c.full.height;
    }
}

TEST(PictureConversion, StoredOptionsAreBroughtIntoRange) {
    test::TempDir dir;
    SettingsStore store(dir.file("s.ini"));
    store.putInt("FileSave", "SizeMode", 7);
    store.putInt("FileSave", "ScaleMode", 5);
    store.putInt("FileSave", "RotateAngle", 720);
    store.putText("FileSave", "Scale", "-2");
    store.putInt("FileSave", "PngQuant", 3);
    SaveFormatOptions o = SaveFormatOptions::load(store);
    EXPECT_EQ(o.sizeMode, 0);
    EXPECT_EQ(o.scaleMode, 0);
    EXPECT_EQ(o.rotateAngle, 360);
    EXPECT_EQ(o.pngQuant, 0);
    EXPECT_EQ(o.factor(), 0);
    o.sizeMode = SaveFormatOptions::Factor;
    EXPECT_FALSE(o.sizeValid());
    o.scale = "0.25";
    o.format = SaveFormatOptions::Png;
    o.save(store);
    const SaveFormatOptions back = SaveFormatOptions::load(store);
    EXPECT_EQ(back.factor(), 0.25);
    EXPECT_STREQ(back.extension(), ".png");
}

// A colourful picture, so that scaling, sharpening and reduction have work.
PictureBuffer gradient(int width, int height, int seed) {
    PictureBuffer picture = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::byte* row = picture.row(y).data();
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::byte>((x * 3 + seed) & 0xFF);
            row[3 * x + 1] = static_cast<std::byte>((y * 5 + x * seed) & 0xFF);
            row[3 * x + 2] = static_cast<std::byte>((x ^ y) + seed);
        }
    }
    return picture;
}

ReducedDecode decodeOf(const PictureBuffer& picture) {
    return [&picture](int, PictureBuffer& out) {
        out = PictureBuffer::fromBlock(picture.block());
        return 0;
    };
}

TEST(PictureConversion, ThreadsWriteTheSameBytesAsOneAtATime) {
    test::TempDir dir;
    std::vector<PictureBuffer> pictures;
    for (int i = 0; i < 6; ++i)
        pictures.push_back(gradient(300 + i * 7, 200 + i * 3, i));
    for (const int format : {SaveFormatOptions::Jpeg, SaveFormatOptions::Png}) {
        ConversionSettings settings;
        settings.options = sized(1, 120, 90, "1", 90);
        settings.options.format = format;
        settings.options.unsharp = true;
        settings.options.pngQuant = 8;
        settings.options.scaleMode = 10;
        std::vector<std::vector<std::byte>> outputs[2];
        for (const int threads : {1, 3}) {
            std::vector<ConversionJob> jobs;
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                jobs.push_back({dir.file(std::to_string(threads) + "-" + std::to_string(i) +
                                         settings.options.extension()),
                                {pictures[i].width(), pictures[i].height()},
                                decodeOf(pictures[i]),
                                {}});
            }
            std::vector<std::size_t> order;
            const auto results = runConversions(jobs, settings, threads,
                                                [&](std::size_t i, const ConversionJobResult&) {
                                                    order.push_back(i);
                                                    return false;
                                                });
            EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
            for (std::size_t i = 0; i < jobs.size(); ++i) {
                EXPECT_TRUE(results[i].written);
                outputs[threads == 1 ? 0 : 1].push_back(test::readFile(jobs[i].target));
            }
        }
        EXPECT_EQ(outputs[0], outputs[1]) << format;
    }
}

TEST(PictureConversion, DecodeFailureAndStopAreReported) {
    test::TempDir dir;
    ConversionSettings settings;
    settings.options.format = SaveFormatOptions::Bmp;
    settings.options.bmpQuant = 8;
    const PictureBuffer picture = gradient(40, 30, 1);
    std::vector<ConversionJob> jobs;
    jobs.push_back({dir.file("bad.bmp"), {}, [](int, PictureBuffer&) { return 2; }, {}});
    for (int i = 0; i < 4; ++i)
        jobs.push_back({dir.file(std::to_string(i) + ".bmp"), {}, decodeOf(picture), {}});
    const auto results =
        runConversions(jobs, settings, 1, [](std::size_t i, const ConversionJobResult&) {
            return i == 1; // stop after the second
        });
    EXPECT_EQ(results[0].decodeCode, 2);
    EXPECT_FALSE(results[0].written);
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.bmp")));
    EXPECT_TRUE(results[1].written);
    const ReadResult back = readBmpFile(dir.file("0.bmp"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back.picture.bitCount(), 8);
    EXPECT_EQ(back.picture.width(), 40);
    EXPECT_FALSE(std::filesystem::exists(dir.file("2.bmp")));
}

} // namespace
} // namespace vemra
