#include "imaging/photo_metadata.h"

#include <lcms2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sys/stat.h>

// exiv2 0.27 hands images out in std::auto_ptr, deprecated since C++11.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace vemra {
namespace {

void setUpLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Damaged files would otherwise fill the terminal with warnings.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        // Not thread-safe on its own: done once before any worker reads.
        Exiv2::XmpParser::initialize();
        // HEIF and AVIF carry EXIF in the ISO base media file format, which
        // exiv2 0.27 reads only when asked to.
        Exiv2::enableBMFF(true);
    });
}

std::string trimmed(std::string text) {
    const auto end = text.find('\0');
    if (end != std::string::npos)
        text.resize(end);
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

const Exiv2::Exifdatum* findKey(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return nullptr;
    return &*it;
}

std::string textOf(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* d = findKey(exif, key);
    // A text tag is short; a huge one is damage, not a camera name.
    if (d == nullptr || static_cast<std::size_t>(d->size()) > 4096)
        return {};
    return trimmed(d->toString());
}

double rationalOf(const Exiv2::Exifdatum& d, long n = 0) {
    if (n >= static_cast<long>(d.count()))
        return 0;
    const Exiv2::Rational r = d.toRational(n);
    if (r.second == 0)
        return 0;
    const double v = static_cast<double>(r.first) / r.second;
    return std::isfinite(v) ? v : 0;
}

double numberOf(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* d = findKey(exif, key);
    return d ? rationalOf(*d) : 0;
}

long longOf(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* d = findKey(exif, key);
    return d ? d->toLong() : 0;
}

// Degrees, minutes and seconds as three rationals, signed by the reference
// letter ("S" and "W" negative).
std::optional<double> coordinate(const Exiv2::ExifData& exif, const char* key, const char* refKey,
                                 char negative) {
    const Exiv2::Exifdatum* d = findKey(exif, key);
    if (d == nullptr || d->count() < 3)
        return std::nullopt;
    const double value = rationalOf(*d, 0) + rationalOf(*d, 1) / 60 + rationalOf(*d, 2) / 3600;
    if (!std::isfinite(value) || value > 180)
        return std::nullopt;
    const std::string ref = textOf(exif, refKey);
    return !ref.empty() && ref[0] == negative ? -value : value;
}

std::optional<GpsPosition> gpsOf(const Exiv2::ExifData& exif) {
    const auto latitude =
        coordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S');
    const auto longitude =
        coordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W');
    if (!latitude || !longitude || std::abs(*latitude) > 90)
        return std::nullopt;
    GpsPosition position{*latitude, *longitude, std::nullopt};
    if (const Exiv2::Exifdatum* d = findKey(exif, "Exif.GPSInfo.GPSAltitude")) {
        const double metres = rationalOf(*d);
        position.altitude = longOf(exif, "Exif.GPSInfo.GPSAltitudeRef") == 1 ? -metres : metres;
    }
    return position;
}

std::string lensOf(const Exiv2::ExifData& exif) {
    std::string lens = textOf(exif, "Exif.Photo.LensModel");
    if (!lens.empty())
        return lens;
    // The maker notes name the lens in a dozen ways; exiv2 knows them.
    const auto it = Exiv2::lensName(exif);
    if (it == exif.end() || static_cast<std::size_t>(it->size()) > 4096)
        return {};
    lens = trimmed(it->print(&exif));
    // A lens id exiv2 cannot name prints as a bare number or "(n)".
    if (lens.empty() || lens.front() == '(' ||
        std::all_of(lens.begin(), lens.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return lens;
}

std::string profileDescription(std::span<const std::byte> icc) {
    if (icc.size() < 128)
        return {};
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (context == nullptr)
        return {};
    // lcms2 reports damaged profiles through the context; nobody listens.
    cmsSetLogErrorHandlerTHR(context, [](cmsContext, cmsUInt32Number, const char*) {});
    std::string name;
    if (cmsHPROFILE profile = cmsOpenProfileFromMemTHR(context, icc.data(),
                                                       static_cast<cmsUInt32Number>(icc.size()))) {
        char buffer[256] = {};
        const cmsUInt32Number n =
            cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", buffer, sizeof buffer);
        if (n > 0)
            name = trimmed(std::string(buffer, strnlen(buffer, sizeof buffer)));
        cmsCloseProfile(profile);
    }
    cmsDeleteContext(context);
    return name;
}

std::vector<std::byte> copied(const Exiv2::byte* data, long size, std::size_t cap) {
    if (data == nullptr || size <= 0 || static_cast<std::size_t>(size) > cap)
        return {};
    const auto* first = reinterpret_cast<const std::byte*>(data);
    return std::vector<std::byte>(first, first + size);
}

PhotoMetadata fromImage(Exiv2::Image& image, const PhotoMetadataRequest& request) {
    PhotoMetadata meta;
    image.readMetadata();
    meta.decoderOrients = image.imageType() == Exiv2::ImageType::bmff;
    if (request.iccProfile && image.iccProfileDefined()) {
        const Exiv2::DataBuf* icc = image.iccProfile();
        meta.iccProfile = copied(icc->pData_, icc->size_, kMaxIccProfileBytes);
        meta.colourProfileName = profileDescription(meta.iccProfile);
    }
    const Exiv2::ExifData& exif = image.exifData();
    if (exif.empty())
        return meta;

    const long orientation = longOf(exif, "Exif.Image.Orientation");
    meta.orientation = orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
    meta.make = textOf(exif, "Exif.Image.Make");
    meta.model = textOf(exif, "Exif.Image.Model");
    meta.lens = lensOf(exif);
    if (const Exiv2::Exifdatum* d = findKey(exif, "Exif.Photo.ExposureTime")) {
        const Exiv2::Rational r = d->toRational(0);
        if (r.first > 0 && r.second > 0) {
            meta.exposureNumerator = static_cast<std::uint32_t>(r.first);
            meta.exposureDenominator = static_cast<std::uint32_t>(r.second);
        }
    }
    meta.fNumber = numberOf(exif, "Exif.Photo.FNumber");
    const long iso = longOf(exif, "Exif.Photo.ISOSpeedRatings");
    meta.iso = iso > 0 && iso < 10'000'000 ? static_cast<int>(iso) : 0;
    meta.focalLength = numberOf(exif, "Exif.Photo.FocalLength");
    const long focal35 = longOf(exif, "Exif.Photo.FocalLengthIn35mmFilm");
    meta.focalLength35 = focal35 > 0 && focal35 < 100'000 ? static_cast<int>(focal35) : 0;
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
        std::string text = textOf(exif, key);
        if (const auto time = exifDateTime(text)) {
            meta.dateTakenText = std::move(text);
            meta.dateTaken = *time;
            break;
        }
    }
    meta.gps = gpsOf(exif);
    if (request.iccProfile && meta.iccProfile.empty()) {
        // TIFF keeps its profile as a tag of the first image.
        if (const Exiv2::Exifdatum* d = findKey(exif, "Exif.Image.InterColorProfile");
            d != nullptr && d->size() > 0 &&
            static_cast<std::size_t>(d->size()) <= kMaxIccProfileBytes) {
            Exiv2::DataBuf buffer(static_cast<long>(d->size()));
            d->copy(buffer.pData_, Exiv2::invalidByteOrder);
            meta.iccProfile = copied(buffer.pData_, buffer.size_, kMaxIccProfileBytes);
            meta.colourProfileName = profileDescription(meta.iccProfile);
        }
    }
    if (request.exifThumbnail) {
        Exiv2::ExifThumbC thumbnail(exif);
        if (std::string(thumbnail.mimeType()) == "image/jpeg") {
            const Exiv2::DataBuf data = thumbnail.copy();
            meta.exifThumbnail = copied(data.pData_, data.size_, kMaxExifThumbnailBytes);
        }
    }
    return meta;
}

template <typename Open> PhotoMetadata readWith(const PhotoMetadataRequest& request, Open open) {
    setUpLibrary();
    try {
        auto image = open();
        if (image.get() == nullptr)
            return {};
        return fromImage(*image, request);
    } catch (...) {
        // exiv2 reports every damage as an exception: the picture then
        // simply has no metadata.
        return {};
    }
}

} // namespace

std::string PhotoMetadata::camera() const {
    if (model.empty())
        return make;
    if (make.empty())
        return model;
    // "Canon" + "Canon EOS 5D", "NIKON CORPORATION" + "NIKON D750".
    const std::string firstWord = make.substr(0, make.find(' '));
    if (model.size() >= firstWord.size() &&
        std::equal(firstWord.begin(), firstWord.end(), model.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        }))
        return model;
    return make + " " + model;
}

std::string PhotoMetadata::exposureText() const {
    if (exposureNumerator == 0 || exposureDenominator == 0)
        return {};
    const double seconds = static_cast<double>(exposureNumerator) / exposureDenominator;
    char text[32];
    if (seconds < 0.25) {
        std::snprintf(text, sizeof text, "1/%.0f", 1 / seconds);
    } else if (seconds < 10) {
        std::snprintf(text, sizeof text, "%.1f", seconds);
        std::string s = text;
        if (s.ends_with(".0"))
            s.resize(s.size() - 2);
        return s;
    } else {
        std::snprintf(text, sizeof text, "%.0f", seconds);
    }
    return text;
}

std::optional<std::int64_t> exifDateTime(std::string_view text) {
    if (text.size() < 19)
        return std::nullopt;
    int fields[6] = {};
    const std::size_t starts[6] = {0, 5, 8, 11, 14, 17};
    const std::size_t lengths[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        for (std::size_t k = 0; k < lengths[i]; ++k) {
            const char c = text[starts[i] + k];
            if (c < '0' || c > '9')
                return std::nullopt;
            fields[i] = fields[i] * 10 + (c - '0');
        }
    }
    const auto dateSeparator = [](char c) { return c == ':' || c == '-' || c == '/'; };
    if (!dateSeparator(text[4]) || !dateSeparator(text[7]) ||
        (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    if (fields[0] < 1800 || fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 ||
        fields[3] > 23 || fields[4] > 59 || fields[5] > 60)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = fields[0] - 1900;
    tm.tm_mon = fields[1] - 1;
    tm.tm_mday = fields[2];
    tm.tm_hour = fields[3];
    tm.tm_min = fields[4];
    tm.tm_sec = fields[5];
    tm.tm_isdst = -1;
    const std::time_t time = std::mktime(&tm);
    // mktime moves 31 April to 1 May; such a date is damage.
    if (time == static_cast<std::time_t>(-1) || tm.tm_mday != fields[2])
        return std::nullopt;
    return static_cast<std::int64_t>(time);
}

PhotoMetadata readPhotoMetadata(const std::string& path, const PhotoMetadataRequest& request) {
    struct stat status {};
    // Only regular files: a pipe or a device would block or never end.
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) > kMaxMetadataFileBytes)
        return {};
    return readWith(request, [&path] {
        // exiv2 takes the reader over in its own smart pointer.
        Exiv2::BasicIo::AutoPtr io(new Exiv2::FileIo(path));
        return Exiv2::ImageFactory::open(io);
    });
}

PhotoMetadata readPhotoMetadata(std::span<const std::byte> bytes,
                                const PhotoMetadataRequest& request) {
    if (bytes.empty() || bytes.size() > kMaxMetadataFileBytes)
        return {};
    return readWith(request, [bytes] {
        return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                         static_cast<long>(bytes.size()));
    });
}

} // namespace vemra

#pragma GCC diagnostic pop
