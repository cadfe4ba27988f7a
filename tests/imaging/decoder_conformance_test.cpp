// Runs every built-in decoder over the public conformance suites in the
// shared test data: files marked valid must decode to their reference
// pixels, all others must come back without a crash.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vemra {
namespace {

bool has(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

struct SuiteCase {
    const char* format;
    DecoderId decoder;
    int tolerance; // largest channel difference allowed against the reference
};

class DecoderConformance : public testing::TestWithParam<SuiteCase> {};

// The layouts a decoder is not asked to match (its documented choices).
bool outsideScope(const SuiteCase& c, const test::ManifestRow& row) {
    if (c.decoder == kBmpDecoderId) {
        // Only 40-byte headers are this decoder's; bit fields and 16/32-bit
        // channels widen by this program's own rule.
        return !has(row.note, "hdr=40(") || has(row.note, "BITFIELDS") || has(row.note, "bpp=16") ||
               has(row.note, "bpp=32") || has(row.path, "rletrns");
    }
    if (c.decoder == kTiffDecoderId) {
        // Layouts libtiff's RGBA reader does not take (2- and 4-bit RGB,
        // 16-bit palettes) are refused; alpha that is not beside contiguous
        // 8-bit RGB comes back premultiplied by libtiff.
        return has(row.note, "bps=2/2/2") || has(row.note, "bps=4/4/4") ||
               (has(row.note, "phot=palette bps=16")) ||
               (has(row.note, "RGBA frame0") &&
                !has(row.note, "phot=rgb bps=8/8/8/8 spp=4 planar=1"));
    }
    if (c.decoder == kGifDecoderId) {
        // Its LZW stream goes on with a full table (a deferred clear), which
        // this decoder refuses with 4.
        return has(row.path, "iss634.gif");
    }
    if (c.decoder == kGif2DecoderId) {
        // Its LZW minimum code size is 11, above giflib's limit of 8.
        return has(row.path, "issue_2811.gif");
    }
    return false;
}

TEST_P(DecoderConformance, SuiteMatchesTheReferences) {
    if (!test::hasTestData()) {
        GTEST_SKIP() << "no shared test data";
    }
    const SuiteCase c = GetParam();
    int files = 0;
    int decoded = 0;
    int matched = 0;
    int validFiles = 0;
    int refused = 0;
    for (const test::ManifestRow& row : test::manifestRows(c.format)) {
        ++files;
        const auto path = (test::testDataDir() / row.path).string();
        test::Decoded d = test::decodeFile(c.decoder, path);
        if (d.code != 0) {
            ++refused;
        } else {
            ++decoded;
        }
        if (row.expected != "valid" || outsideScope(c, row)) {
            continue;
        }
        ++validFiles;
        ASSERT_EQ(d.code, 0) << row.path;
        const auto refPath = test::testDataDir() / "reference" / (row.path + ".png");
        QImage reference(QString::fromStdString(refPath.string()));
        ASSERT_FALSE(reference.isNull()) << refPath;
        reference = reference.convertToFormat(QImage::Format_ARGB32);
        if (c.decoder == kGifDecoderId &&
            d.picture.width() * d.picture.height() != reference.width() * reference.height()) {
            --validFiles; // the first image at its own size, smaller than the screen
            continue;
        }
        // Very large pictures (fax pages of tens of megapixels) are checked
        // for their size only, to keep the suite quick under the sanitizers.
        if (static_cast<std::int64_t>(reference.width()) * reference.height() > 4'000'000) {
            EXPECT_EQ(d.picture.width(), reference.width()) << row.path;
            EXPECT_EQ(d.picture.height(), reference.height()) << row.path;
            ++matched;
            continue;
        }
        QPoint where;
        const int diff = test::maxChannelDifference(d.picture, reference, &where);
        EXPECT_TRUE(diff >= 0 && diff <= c.tolerance)
            << row.path << ": difference " << diff << " at " << where.x() << "," << where.y()
            << " ours " << std::hex << d.picture.pixel(where.x(), where.y()) << " (" << std::dec
            << d.picture.bitCount() << " bits) reference " << std::hex << reference.pixel(where)
            << std::dec;
        if (diff >= 0 && diff <= c.tolerance) {
            ++matched;
        }
    }
    std::printf("[%s via %d] %d files: %d decoded, %d refused; %d of %d valid files in scope "
                "match their reference\n",
                c.format, c.decoder, files, decoded, refused, matched, validFiles);
    RecordProperty("matched", matched);
}

INSTANTIATE_TEST_SUITE_P(
    Suites, DecoderConformance,
    testing::Values(SuiteCase{"bmp", kBmpDecoderId, 0}, SuiteCase{"jpeg", kJpegDecoderId, 1},
                    SuiteCase{"png", kPngDecoderId, 0}, SuiteCase{"tiff", kTiffDecoderId, 1},
                    SuiteCase{"gif", kGifDecoderId, 0}, SuiteCase{"gif", kGif2DecoderId, 0}),
    [](const testing::TestParamInfo<SuiteCase>& info) {
        return std::string(info.param.format) + "_" + std::to_string(info.param.decoder);
    });

} // namespace
} // namespace vemra
