// The photo-metadata reader (exiv2) and the EXIF orientations: the eight
// stored forms of an "F" must all come out as one upright F, and the
// shooting information must read as exiftool reads it.
#include "decoder_test_support.h"
#include "imaging/orientation.h"
#include "imaging/photo_metadata.h"
#include "imaging/picture_qimage.h"
#include "orientation_pictures.h"
#include "test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <random>

namespace vemra {
namespace {

using test::TempDir;

std::string orientedPath(const TempDir& dir, int orientation) {
    return dir.file("f" + std::to_string(orientation) + ".jpg");
}

TEST(PhotoOrientation, EveryJpegOrientationGivesTheUprightF) {
    const TempDir dir;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path = orientedPath(dir, orientation);
        test::writeOrientedJpeg(path, orientation);
        const PhotoMetadata fromFile = readPhotoMetadata(path);
        EXPECT_EQ(fromFile.orientation, orientation);
        EXPECT_FALSE(fromFile.decoderOrients);
        EXPECT_EQ(readPhotoMetadata(test::readFile(path)).orientation, orientation);

        test::Decoded decoded = test::decodeFile(kJpegDecoderId, path);
        ASSERT_EQ(decoded.code, 0);
        const PictureSize upright =
            uprightSize(decoded.picture.width(), decoded.picture.height(), orientation);
        const PictureBuffer shown = orientPicture(std::move(decoded.picture), orientation);
        EXPECT_EQ(shown.width(), upright.width);
        EXPECT_EQ(shown.height(), upright.height);
        EXPECT_EQ(shown.width(), test::kUprightFWidth);
        EXPECT_EQ(test::uprightFMismatch(shown), "");
    }
}

void writeTiff(const std::string& path, const QImage& rgb, int orientation, int planar) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, rgb.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rgb.height());
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, planar);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rgb.height());
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    const int planes = planar == PLANARCONFIG_CONTIG ? 1 : 3;
    for (int plane = 0; plane < planes; ++plane) {
        for (int y = 0; y < rgb.height(); ++y) {
            std::vector<std::uint8_t> line;
            const std::uint8_t* row = rgb.constScanLine(y);
            for (int x = 0; x < rgb.width() * 3; ++x) {
                if (planes == 1 || x % 3 == plane)
                    line.push_back(row[x]);
            }
            ASSERT_EQ(TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y),
                                        static_cast<std::uint16_t>(plane)),
                      1);
        }
    }
    TIFFClose(tif);
}

// TIFF is read two ways (strips, libtiff's RGBA reader); both must deliver
// the stored rows, so that the orientation is applied exactly once.
TEST(PhotoOrientation, TiffOrientationsGiveTheUprightF) {
    const TempDir dir;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage stored = pictureToImage(test::storedF(orientation));
        const QImage rgb = stored.convertToFormat(QImage::Format_RGB888);
        const std::string path = dir.file("f" + std::to_string(orientation) + ".tif");
        writeTiff(path, rgb, orientation, PLANARCONFIG_CONTIG);

        const PhotoMetadata metadata = readPhotoMetadata(path);
        EXPECT_EQ(metadata.orientation, orientation);
        test::Decoded decoded = test::decodeFile(kTiffDecoderId, path);
        ASSERT_EQ(decoded.code, 0);
        const PictureBuffer shown = orientPicture(std::move(decoded.picture), orientation);
        EXPECT_EQ(test::uprightFMismatch(shown), "");
        // The same picture through the RGBA reader: in separate planes (not
        // a plain layout) the decoder hands it to libtiff.
        const std::string rgbaPath = dir.file("g" + std::to_string(orientation) + ".tif");
        writeTiff(rgbaPath, rgb, orientation, PLANARCONFIG_SEPARATE);
        test::Decoded viaRgba = test::decodeFile(kTiffDecoderId, rgbaPath);
        ASSERT_EQ(viaRgba.code, 0);
        EXPECT_EQ(test::uprightFMismatch(orientPicture(std::move(viaRgba.picture), orientation)),
                  "");
    }
}

TEST(PhotoOrientation, OutOfRangeValuesLeaveThePictureAlone) {
    for (const int orientation : {-1, 0, 1, 9, 1000}) {
        PictureBuffer picture = test::storedF(1);
        const PictureBuffer same = orientPicture(std::move(picture), orientation);
        EXPECT_EQ(test::uprightFMismatch(same), "") << orientation;
    }
    EXPECT_FALSE(orientPicture(PictureBuffer{}, 6));
}

// exiftool's numeric reading of the same file, or nothing without exiftool.
QJsonObject exiftoolReading(const std::string& path) {
    if (QStandardPaths::findExecutable("exiftool").isEmpty())
        return {};
    QProcess tool;
    tool.start("exiftool", {"-j", "-n", QString::fromStdString(path)});
    if (!tool.waitForFinished(30000))
        return {};
    const QJsonArray all = QJsonDocument::fromJson(tool.readAllStandardOutput()).array();
    return all.isEmpty() ? QJsonObject{} : all.first().toObject();
}

TEST(PhotoMetadata, ShootingInformationReadsAsExiftoolReadsIt) {
    const TempDir dir;
    const std::string path = dir.file("shot.jpg");
    test::writeOrientedJpeg(path, 6, true);
    const QJsonObject expected = exiftoolReading(path);
    if (expected.isEmpty())
        GTEST_SKIP() << "exiftool is not installed";

    const PhotoMetadata m = readPhotoMetadata(path);
    EXPECT_EQ(m.orientation, expected["Orientation"].toInt());
    EXPECT_EQ(QString::fromStdString(m.make), expected["Make"].toString());
    EXPECT_EQ(QString::fromStdString(m.model), expected["Model"].toString());
    EXPECT_EQ(m.camera(), "Canon EOS 5D Mark IV");
    EXPECT_EQ(QString::fromStdString(m.lens), expected["LensModel"].toString());
    EXPECT_NEAR(static_cast<double>(m.exposureNumerator) / m.exposureDenominator,
                expected["ExposureTime"].toDouble(), 1e-9);
    EXPECT_EQ(m.exposureText(), "1/250");
    EXPECT_NEAR(m.fNumber, expected["FNumber"].toDouble(), 1e-9);
    EXPECT_EQ(m.iso, expected["ISO"].toInt());
    EXPECT_NEAR(m.focalLength, expected["FocalLength"].toDouble(), 1e-9);
    EXPECT_EQ(QString::fromStdString(m.dateTakenText), expected["DateTimeOriginal"].toString());
    ASSERT_TRUE(m.gps.has_value());
    EXPECT_NEAR(m.gps->latitude, expected["GPSLatitude"].toDouble(), 1e-6);
    EXPECT_NEAR(m.gps->longitude, expected["GPSLongitude"].toDouble(), 1e-6);
    ASSERT_TRUE(m.gps->altitude.has_value());
    EXPECT_NEAR(*m.gps->altitude, expected["GPSAltitude"].toDouble(), 1e-6);
}

TEST(PhotoMetadata, DatesAreCheckedAndTakenAsLocalTime) {
    struct Case {
        const char* text;
        bool valid;
    } const cases[] = {
        {"2024:05:03 14:25:36", true},  {"2024-05-03T14:25:36", true},
        {"2024:02:30 10:00:00", false}, {"2024:13:01 10:00:00", false},
        {"    :  :     :  :  ", false}, {"0000:00:00 00:00:00", false},
        {"2024:05:03", false},          {"2024:05:03 24:00:00", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exifDateTime(c.text).has_value(), c.valid) << c.text;
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 4;
    tm.tm_mday = 3;
    tm.tm_hour = 14;
    tm.tm_min = 25;
    tm.tm_sec = 36;
    tm.tm_isdst = -1;
    EXPECT_EQ(exifDateTime("2024:05:03 14:25:36"), std::mktime(&tm));
}

// Damaged EXIF blocks: every byte of the APP1 segment changed in turn, and
// cut at every length, must read without a crash (the defaults, or whatever
// survived).
TEST(PhotoMetadata, DamagedExifBlocksNeverCrash) {
    const TempDir dir;
    const std::string path = dir.file("shot.jpg");
    test::writeOrientedJpeg(path, 8, true);
    const std::vector<std::byte> good = test::readFile(path);
    std::mt19937 random(30);
    for (std::size_t cut = 0; cut < std::min<std::size_t>(good.size(), 1200); cut += 7) {
        const std::span<const std::byte> head(good.data(), cut);
        const PhotoMetadata m = readPhotoMetadata(head);
        EXPECT_GE(m.orientation, 1);
        EXPECT_LE(m.orientation, 8);
    }
    for (int round = 0; round < 300; ++round) {
        std::vector<std::byte> bad = good;
        for (int k = 0; k < 4; ++k)
            bad[2 + random() % std::min<std::size_t>(bad.size() - 2, 1000)] =
                static_cast<std::byte>(random());
        const PhotoMetadata m = readPhotoMetadata(bad);
        EXPECT_GE(m.orientation, 1);
        EXPECT_LE(m.orientation, 8);
    }
    EXPECT_EQ(readPhotoMetadata(std::string("/nonexistent/picture.jpg")).orientation, 1);
    EXPECT_EQ(readPhotoMetadata(dir.path().string()).orientation, 1); // a folder
}

} // namespace
} // namespace vemra
