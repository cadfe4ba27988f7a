#include "imaging/pixel_access.h"

#include <algorithm>
#include <cstring>

namespace vemra::pixels {

PaletteBgr paletteOf(const PictureBuffer& picture) {
    PaletteBgr table{};
    const int entries = std::min(picture.colourEntries(), 256);
    for (int i = 0; i < entries; ++i) {
        const ColourWord c = picture.paletteColour(i);
        table[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(blueOf(c)),
                                              static_cast<std::uint8_t>(greenOf(c)),
                                              static_cast<std::uint8_t>(redOf(c))};
    }
    return table;
}

PictureBuffer createLike(const PictureBuffer& source, int width, int height, int bits) {
    if (width <= 0 || height <= 0 ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        return {};
    }
    const auto from = source.header();
    const auto l = source.layout();
    if (!from || !l) {
        return {};
    }
    const bool sameDepth = l->bitCount == bits;
    const bool keepTable = sameDepth && isIndexedDepth(bits);
    const bool keepMasks = sameDepth && l->compression == Compression::BitFields;

    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<std::uint16_t>(bits);
    h.compression =
        static_cast<std::uint32_t>(keepMasks ? Compression::BitFields : Compression::None);
    h.xPelsPerMeter = from->xPelsPerMeter;
    h.yPelsPerMeter = from->yPelsPerMeter;
    h.coloursUsed = keepTable ? static_cast<std::uint32_t>(l->colourEntries) : 0;
    h.coloursImportant = keepTable ? std::min(from->coloursImportant, h.coloursUsed) : 0;
    const std::size_t image = dibRowBytes(bits, width) * static_cast<std::size_t>(height);
    h.imageSize = image <= UINT32_MAX ? static_cast<std::uint32_t>(image) : 0;

    PictureBuffer picture = PictureBuffer::create(h);
    if (!picture) {
        return {};
    }
    if (keepTable) {
        for (int i = 0; i < l->colourEntries; ++i) {
            picture.setPaletteColour(i, source.paletteColour(i));
        }
    }
    if (keepMasks) {
        const auto masks = source.bitFieldMasks();
        std::memcpy(picture.block().data() + kInfoHeaderSize, masks.data(), masks.size());
    }
    return picture;
}

} // namespace vemra::pixels
