#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// A GPS position in degrees (south and west negative), with the altitude in
// metres when the picture gives one.
struct GpsPosition {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
};

// How a photograph was taken, as its EXIF block (or the container's own
// fields) tells it. Texts are UTF-8 and trimmed; a field the picture does
// not carry stays empty (texts), 0 (numbers) or unset (optionals).
struct PhotoMetadata {
    // The EXIF orientation 1-8: how the stored rows must be turned and
    // mirrored to show the picture upright. 1 when the picture has none or an
    // invalid one.
    int orientation = 1;
    // True when the picture's decoder already delivers it upright, so the
    // orientation is for information only (HEIF and AVIF: libheif applies
    // the container's own rotation and mirroring, which take precedence over
    // the EXIF tag).
    bool decoderOrients = false;
    std::string make;
    std::string model;
    std::string lens;
    // Exposure time in seconds as a fraction (1/250 is {1, 250}).
    std::uint32_t exposureNumerator = 0;
    std::uint32_t exposureDenominator = 0;
    double fNumber = 0;
    int iso = 0;
    double focalLength = 0;     // millimetres
    int focalLength35 = 0;      // millimetres, 35 mm equivalent
    std::string dateTakenText;  // "YYYY:MM:DD HH:MM:SS" as stored
    std::int64_t dateTaken = 0; // the same as local time, seconds since 1970; 0 when none
    std::optional<GpsPosition> gps;
    std::string colourProfileName; // the ICC profile's description
    std::vector<std::byte> iccProfile;
    std::vector<std::byte> exifThumbnail; // the JPEG of the EXIF block's IFD1

    // The camera as people name it: the model, preceded by the make unless
    // the model already starts with it ("Canon EOS 5D", "NIKON D750").
    std::string camera() const;
    // "1/250", "0.8", "30" seconds; empty when unknown.
    std::string exposureText() const;
    // The orientation the program applies after decoding: 1 when the
    // decoder orients by itself.
    int orientationToApply() const { return decoderOrients ? 1 : orientation; }
};

// What to copy out besides the shooting information: the ICC profile (with
// its name) and the EXIF thumbnail are only copied when asked for, so a
// thumbnail's read costs no profile parsing.
struct PhotoMetadataRequest {
    bool iccProfile = true;
    bool exifThumbnail = false;
};

// Reads the metadata of the picture file at `path` (JPEG, TIFF, PNG, WebP,
// HEIF/AVIF and the other formats exiv2 knows), or of a picture in memory.
// Hostile input never throws nor crashes: whatever cannot be read leaves the
// defaults. Files larger than kMaxMetadataFileBytes are not read; nothing
// taken out of a picture is larger than its cap. Any thread.
PhotoMetadata readPhotoMetadata(const std::string& path, const PhotoMetadataRequest& request = {});
PhotoMetadata readPhotoMetadata(std::span<const std::byte> bytes,
                                const PhotoMetadataRequest& request = {});

inline constexpr std::uint64_t kMaxMetadataFileBytes = 1ull << 31;
inline constexpr std::size_t kMaxIccProfileBytes = 4u << 20;
inline constexpr std::size_t kMaxExifThumbnailBytes = 1u << 20;

// "YYYY:MM:DD HH:MM:SS" (also with "-" or "/" between the date's parts) as
// local time; nullopt when it is not a valid date.
std::optional<std::int64_t> exifDateTime(std::string_view text);

} // namespace vemra
