#include "imaging/picture_save.h"

#include "imaging/bmp_file.h"
#include "imaging/colour_reduction.h"
#include "imaging/picture_convert.h"
#include "imaging/png_encoder.h"

namespace vemra {

PictureBuffer prepareForDepth(const PictureBuffer& picture, int targetBits, bool& unchanged) {
    unchanged = false;
    const int bits = picture.bitCount();
    if (targetBits == 0 || targetBits == bits) {
        unchanged = true;
        return {};
    }
    if (targetBits == 1 || targetBits == 4 || targetBits == 8) {
        ReductionOptions options;
        options.targetColours = 1 << targetBits;
        return reduceColours(picture, options);
    }
    if (targetBits == 24) {
        return copyAs24Bits(picture);
    }
    unchanged = true; // no such depth to aim for: keep the picture as it is
    return {};
}

bool saveBmp(const std::string& path, const PictureBuffer& picture, int targetBits) {
    bool unchanged = false;
    const PictureBuffer prepared = prepareForDepth(picture, targetBits, unchanged);
    if (!unchanged && !prepared) {
        return false;
    }
    return writeBmpFile(path, unchanged ? picture : prepared);
}

bool savePng(const std::string& path, const PictureBuffer& picture, int targetBits,
             std::span<const std::byte> iccProfile) {
    bool unchanged = false;
    const PictureBuffer prepared = prepareForDepth(picture, targetBits, unchanged);
    if (!unchanged && !prepared) {
        return false;
    }
    PngRequest request;
    request.fileName = path;
    request.picture = unchanged ? &picture : &prepared;
    request.iccProfile = iccProfile;
    return writePng(request) == PngResult::Success;
}

} // namespace vemra
