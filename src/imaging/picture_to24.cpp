#include "imaging/picture_convert.h"

#include "platform/endian.h"

#include <array>
#include <bit>
#include <cstring>

namespace vemra {
namespace {

// Rebuilds one 8-bit channel from a pixel under a mask. The mask is read from
// its top bit down and at most 8 of the pixel's bits under set mask bits are
// kept; a channel of n < 8 bits is shifted left by 8 - n with its low 8 - n
// bits set, so a 5-bit 0 becomes 7 and 31 becomes 255.
std::uint8_t channelFromMask(std::uint32_t pixel, std::uint32_t mask, int topBit) {
    unsigned value = 0;
    int taken = 0;
    for (int bit = topBit; bit >= 0 && taken < 8; --bit) {
        if ((mask >> bit & 1u) != 0) {
            value = value << 1 | (pixel >> bit & 1u);
            ++taken;
        }
    }
    const int missing = 8 - taken;
    return static_cast<std::uint8_t>(value << missing | ((1u << missing) - 1));
}

// The same rule for a mask whose used bits are contiguous, as a shift and a
// width, so the 32-bit loop needs no bit scanning per pixel.
struct ContiguousChannel {
    int shift = 0;
    int bits = 0;
    bool valid = false;

    static ContiguousChannel of(std::uint32_t mask) {
        ContiguousChannel c;
        if (mask == 0) {
            c.valid = true;
            return c;
        }
        const int top = 31 - std::countl_zero(mask);
        const int total = std::popcount(mask);
        const int low = std::countr_zero(mask);
        if (top - low + 1 != total) {
            return c; // holes in the mask: take the general path
        }
        c.bits = total < 8 ? total : 8;
        c.shift = top - c.bits + 1;
        c.valid = true;
        return c;
    }

    std::uint8_t operator()(std::uint32_t pixel) const {
        const unsigned value = pixel >> shift & ((1u << bits) - 1);
        const int missing = 8 - bits;
        return static_cast<std::uint8_t>(value << missing | ((1u << missing) - 1));
    }
};

std::array<std::uint32_t, 3> channelMasks(const PictureBuffer& picture, const DibLayout& l) {
    if (l.compression == Compression::BitFields) {
        const auto m = picture.bitFieldMasks();
        return {loadU32(m.data()), loadU32(m.data() + 4), loadU32(m.data() + 8)};
    }
    if (l.bitCount == 16) {
        return {0x7C00, 0x03E0, 0x001F};
    }
    return {0xFF0000, 0x00FF00, 0x0000FF};
}

void convertIndexedRows(const PictureBuffer& src, const DibLayout& l, PictureBuffer& dst,
                        std::size_t dstRowBytes) {
    // Entries the table lacks read as black, as a missing entry would on screen.
    std::array<std::array<std::uint8_t, 3>, 256> table{};
    const int entries = l.colourEntries < 256 ? l.colourEntries : 256;
    for (int i = 0; i < entries; ++i) {
        const ColourWord c = src.paletteColour(i);
        table[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(blueOf(c)),
                                              static_cast<std::uint8_t>(greenOf(c)),
                                              static_cast<std::uint8_t>(redOf(c))};
    }
    const auto* in = reinterpret_cast<const std::uint8_t*>(src.pixels().data());
    auto* out = reinterpret_cast<std::uint8_t*>(dst.pixels().data());
    const int bits = l.bitCount;
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* s = in + static_cast<std::size_t>(y) * l.rowBytes;
        std::uint8_t* d = out + static_cast<std::size_t>(y) * dstRowBytes;
        for (int x = 0; x < l.width; ++x) {
            unsigned index;
            if (bits == 8) {
                index = s[x];
            } else {
                const int shift = 8 - bits * (x % perByte + 1);
                index = static_cast<unsigned>(s[x / perByte] >> shift) & mask;
            }
            std::memcpy(d + static_cast<std::size_t>(x) * 3, table[index].data(), 3);
        }
    }
}

// 16- and 32-bit pixels. Contiguous masks (all common layouts) use a shift
// per channel; masks with holes go through the bit-by-bit rule.
void convertMaskedRows(const PictureBuffer& src, const DibLayout& l,
                       const std::array<std::uint32_t, 3>& masks, PictureBuffer& dst,
                       std::size_t dstRowBytes) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(src.pixels().data());
    auto* out = reinterpret_cast<std::uint8_t*>(dst.pixels().data());
    const std::size_t pixelBytes = l.bitCount == 16 ? 2 : 4;
    const int topBit = l.bitCount == 16 ? 15 : 31;
    const std::uint32_t valueMask = l.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    const ContiguousChannel red = ContiguousChannel::of(masks[0] & valueMask);
    const ContiguousChannel green = ContiguousChannel::of(masks[1] & valueMask);
    const ContiguousChannel blue = ContiguousChannel::of(masks[2] & valueMask);
    const bool fast = red.valid && green.valid && blue.valid;
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* s = in + static_cast<std::size_t>(y) * l.rowBytes;
        std::uint8_t* d = out + static_cast<std::size_t>(y) * dstRowBytes;
        for (int x = 0; x < l.width; ++x, s += pixelBytes, d += 3) {
            std::uint32_t v = 0;
            std::memcpy(&v, s, pixelBytes);
            if (fast) {
                d[0] = blue(v);
                d[1] = green(v);
                d[2] = red(v);
            } else {
                d[0] = channelFromMask(v, masks[2], topBit);
                d[1] = channelFromMask(v, masks[1], topBit);
                d[2] = channelFromMask(v, masks[0], topBit);
            }
        }
    }
}

// Builds the 24-bit form of a picture that is not 24 bits yet.
PictureBuffer build24(const PictureBuffer& src, const DibLayout& l) {
    const int bits = l.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 32) {
        return {};
    }
    if (l.compression == Compression::Rle8 || l.compression == Compression::Rle4) {
        return {};
    }
    auto header = src.header();
    if (!header) {
        return {};
    }
    DibHeader h = *header;
    h.headerSize = kInfoHeaderSize;
    h.bitCount = 24;
    h.compression = 0;
    h.imageSize = 0;
    h.coloursUsed = 0;
    h.coloursImportant = 0;
    // A top-down source converts row for row, so the result stays top-down.
    PictureBuffer dst = PictureBuffer::create(h);
    if (!dst) {
        return {};
    }
    const std::size_t dstRowBytes = dibRowBytes(24, l.width);
    if (bits <= 8) {
        convertIndexedRows(src, l, dst, dstRowBytes);
    } else {
        convertMaskedRows(src, l, channelMasks(src, l), dst, dstRowBytes);
    }
    return dst;
}

} // namespace

bool convertTo24Bits(PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l) {
        return false;
    }
    if (l->bitCount == 24) {
        return true;
    }
    PictureBuffer converted = build24(picture, *l);
    if (!converted) {
        return false;
    }
    picture = std::move(converted);
    return true;
}

PictureBuffer copyAs24Bits(const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l) {
        return {};
    }
    if (l->bitCount == 24) {
        return picture.duplicate();
    }
    return build24(picture, *l);
}

} // namespace vemra
