// The photo-metadata reader (exiv2 behind it) on hostile pictures: JPEG,
// TIFF, PNG, WebP and HEIF containers with damaged EXIF blocks, ICC
// profiles and EXIF thumbnails. Nothing may crash, hang or read out of
// bounds, and what comes out stays within its caps.
#include "fuzz_support.h"
#include "imaging/orientation.h"
#include "imaging/photo_metadata.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    PhotoMetadataRequest request;
    request.iccProfile = true;
    request.exifThumbnail = true;
    const PhotoMetadata m = readPhotoMetadata(fuzz::asBytes(data, size), request);
    if (m.orientation < 1 || m.orientation > 8 || m.iccProfile.size() > kMaxIccProfileBytes ||
        m.exifThumbnail.size() > kMaxExifThumbnailBytes)
        std::abort();
    // What callers do with the values: texts for people and the date.
    const std::string camera = m.camera();
    const std::string exposure = m.exposureText();
    if (!m.dateTakenText.empty() && !exifDateTime(m.dateTakenText))
        std::abort(); // a date taken is only kept when it reads
    (void)camera;
    (void)exposure;
    (void)uprightSize(3, 2, m.orientation);
    return 0;
}
