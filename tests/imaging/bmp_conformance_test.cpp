// Reads the public BMP suites in the shared test data and compares every
// picture we take with its reference decode.

#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <set>
#include <sstream>

namespace vemra {
namespace {

struct ManifestRow {
    std::string path;
    std::string expected;
    std::string note;
};

std::vector<ManifestRow> bmpRows() {
    std::vector<ManifestRow> rows;
    std::ifstream in(test::testDataDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestRow row;
        std::string format, width, height, bits;
        std::getline(fields, row.path, '\t');
        std::getline(fields, format, '\t');
        std::getline(fields, row.expected, '\t');
        std::getline(fields, width, '\t');
        std::getline(fields, height, '\t');
        std::getline(fields, bits, '\t');
        std::getline(fields, row.note);
        if (format == "bmp") {
            rows.push_back(row);
        }
    }
    return rows;
}

bool has(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

// Largest channel difference from the reference; -1 when the sizes differ.
int maxDifference(const PictureBuffer& picture, const QImage& reference) {
    if (picture.width() != reference.width() || picture.height() != reference.height()) {
        return -1;
    }
    int worst = 0;
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            const ColourWord ours = picture.pixel(x, y);
            const QRgb theirs = reference.pixel(x, y);
            worst = std::max({worst, std::abs(redOf(ours) - qRed(theirs)),
                              std::abs(greenOf(ours) - qGreen(theirs)),
                              std::abs(blueOf(ours) - qBlue(theirs))});
        }
    }
    return worst;
}

TEST(BmpConformance, SuitesDecodeLikeTheReferenceDecoders) {
    if (!test::hasTestData()) {
        GTEST_SKIP() << "no shared test data";
    }
    // Headers of 40 and 12 bytes are what this reader takes; newer headers
    // (V4, V5, OS/2 2.x) are refused by design.
    int compared = 0;
    for (const ManifestRow& row : bmpRows()) {
        const auto path = test::testDataDir() / row.path;
        ReadResult read = readBmpFile(path.string());
        const bool ourHeader = has(row.note, "hdr=40(") || has(row.note, "hdr=12(");
        if (!read) {
            EXPECT_FALSE(row.expected == "valid" && ourHeader)
                << row.path << ": " << resultName(read.code);
            continue;
        }
        const Compression stored = read.picture.compression();
        const bool rle = stored == Compression::Rle8 || stored == Compression::Rle4;
        const bool converted = (!rle || expandRle(read.picture)) && convertTo24Bits(read.picture);
        if (row.expected == "invalid" || !has(row.note, "ref=")) {
            continue; // decoding at all, without a crash, is what counts
        }
        const auto refPath = test::testDataDir() / "reference" / (row.path + ".png");
        const QImage reference(QString::fromStdString(refPath.string()));
        if (reference.isNull() || has(row.note, "RGBA")) {
            continue; // alpha is not part of a picture here
        }
        if (row.expected == "valid") {
            ASSERT_TRUE(converted) << row.path;
        } else if (!converted) {
            continue;
        }
        // Channels narrower than 8 bits widen with their low bits set, where
        // other decoders replicate the top bits; for 5 bits and more those
        // differ by up to 7. The questionable layouts with 1- to 4-bit
        // channels differ by more and are only checked for their size.
        const bool narrowChannels = has(row.note, "bpp=16") || has(row.path, "rgb32-");
        const bool oddMasks = has(row.path, "rgb16-231") || has(row.path, "rgb16-3103") ||
                              has(row.path, "rgb32-111110") || has(row.path, "rgb32-7187");
        const int tolerance = oddMasks ? 255 : narrowChannels ? 7 : 0;
        const int diff = maxDifference(read.picture, reference);
        // Skipped pixels of RLE deltas are undefined: the references paint them
        // transparent, we leave palette entry 0.
        if (has(row.path, "rletrns")) {
            EXPECT_GE(diff, 0) << row.path;
            continue;
        }
        EXPECT_TRUE(diff >= 0 && diff <= tolerance) << row.path << ": difference " << diff;
        ++compared;
    }
    EXPECT_GE(compared, 30);
}

} // namespace
} // namespace vemra
