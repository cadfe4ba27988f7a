#include "imaging/embedded_profile.h"

#include "imaging/colour_management.h"
#include "imaging/photo_metadata.h"

namespace vemra {
namespace {

// One reader of what exiv2 finds in a picture, so the library is set up in
// one place and a picture's metadata is parsed the same way everywhere.
std::vector<std::byte> profileOf(PhotoMetadata metadata) {
    if (metadata.iccProfile.size() > kMaxColourProfileBytes)
        return {};
    return std::move(metadata.iccProfile);
}

constexpr PhotoMetadataRequest kProfileOnly{.iccProfile = true, .exifThumbnail = false};

} // namespace

std::vector<std::byte> embeddedColourProfile(std::span<const std::byte> file) {
    return profileOf(readPhotoMetadata(file, kProfileOnly));
}

std::vector<std::byte> embeddedColourProfile(const std::string& path) {
    return profileOf(readPhotoMetadata(path, kProfileOnly));
}

} // namespace vemra
