#include "orientation_pictures.h"

#include "imaging/jpeg_encoder.h"
#include "imaging/picture_qimage.h"

#include <QImage>

#include <stdexcept>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace vemra::test {
namespace {

constexpr int kSquare = 8;

bool darkSquare(int column, int row) {
    return (column == 1 && row >= 1 && row <= 6) || (row == 1 && column >= 1 && column <= 4) ||
           (row == 3 && column >= 1 && column <= 3);
}

bool uprightDark(int x, int y) {
    return darkSquare(x / kSquare, y / kSquare);
}

} // namespace

PictureBuffer storedF(int orientation) {
    const int w = kUprightFWidth;
    const int h = kUprightFHeight;
    const bool sideways = orientation >= 5;
    QImage stored(sideways ? h : w, sideways ? w : h, QImage::Format_RGB888);
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            // The upright pixel the stored pixel (x, y) shows.
            int ux = x;
            int uy = y;
            switch (orientation) {
            case 2:
                ux = w - 1 - x;
                break;
            case 3:
                ux = w - 1 - x;
                uy = h - 1 - y;
                break;
            case 4:
                uy = h - 1 - y;
                break;
            case 5:
                ux = y;
                uy = x;
                break; // row 0 = left side, column 0 = top
            case 6:
                ux = w - 1 - y;
                uy = x;
                break; // row 0 = right side, column 0 = top
            case 7:
                ux = w - 1 - y;
                uy = h - 1 - x;
                break; // right side, bottom
            case 8:
                ux = y;
                uy = h - 1 - x;
                break; // left side, bottom
            default:
                break;
            }
            stored.setPixel(x, y, uprightDark(ux, uy) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return pictureFromImage(stored);
}

void writeOrientedJpeg(const std::string& path, int orientation, bool withShootingInfo,
                       bool withThumbnail) {
    if (!saveJpeg(path, storedF(orientation), 95, false))
        throw std::runtime_error("cannot write " + path);
    std::vector<std::byte> thumbnail;
    if (withThumbnail) {
        JpegOptions options;
        options.quality = 90;
        if (!encodeJpeg(storedF(orientation), options, thumbnail))
            throw std::runtime_error("cannot encode the thumbnail");
    }
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    if (withShootingInfo) {
        exif["Exif.Image.Make"] = "Canon";
        exif["Exif.Image.Model"] = "Canon EOS 5D Mark IV";
        exif["Exif.Photo.LensModel"] = "EF24-70mm f/2.8L II USM";
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        exif["Exif.Photo.ISOSpeedRatings"] = static_cast<std::uint16_t>(400);
        exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 1);
        exif["Exif.Photo.DateTimeOriginal"] = "2024:05:03 14:25:36";
        exif["Exif.Image.DateTime"] = "2024:06:01 09:00:00";
        Exiv2::URationalValue latitude;
        latitude.read("35/1 39/1 2931/100");
        exif["Exif.GPSInfo.GPSLatitude"] = latitude;
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        Exiv2::URationalValue longitude;
        longitude.read("139/1 44/1 2844/100");
        exif["Exif.GPSInfo.GPSLongitude"] = longitude;
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
        exif["Exif.GPSInfo.GPSAltitude"] = Exiv2::URational(40, 1);
        exif["Exif.GPSInfo.GPSAltitudeRef"] = static_cast<std::uint8_t>(0);
    }
    if (!thumbnail.empty()) {
        Exiv2::ExifThumb exifThumbnail(exif);
        exifThumbnail.setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.data()),
                                       static_cast<long>(thumbnail.size()));
    }
    image->writeMetadata();
}

std::string uprightFMismatch(const PictureBuffer& picture) {
    if (!picture)
        return "no picture";
    const QImage image = pictureToImage(picture);
    const int columns = kUprightFWidth / kSquare;
    const int rows = kUprightFHeight / kSquare;
    // A square the picture leaves out of proportion still has its centre.
    if (std::abs(image.width() * rows - image.height() * columns) > image.height())
        return "size " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
               " is not upright";
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int x = (2 * column + 1) * image.width() / (2 * columns);
            const int y = (2 * row + 1) * image.height() / (2 * rows);
            const bool dark = qGray(image.pixel(x, y)) < 128;
            if (dark != darkSquare(column, row))
                return "square " + std::to_string(column) + "," + std::to_string(row) +
                       (dark ? " dark" : " light");
        }
    }
    return {};
}

} // namespace vemra::test

#pragma GCC diagnostic pop
