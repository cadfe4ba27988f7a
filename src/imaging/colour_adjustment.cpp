#include "imaging/colour_adjustment.h"

#include "imaging/picture_convert.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vemra {
namespace {

using Table = std::array<std::uint8_t, 256>;

Table tableFor(int brightness, int offset) {
    Table t{};
    for (int v = 0; v < 256; ++v)
        t[static_cast<std::size_t>(v)] =
            static_cast<std::uint8_t>(adjustComponent(v, brightness, offset));
    return t;
}

} // namespace

int adjustComponent(int value, int brightness, int offset) {
    double v = value;
    const double d = brightness * 0.02;
    if (d != 0)
        v = std::clamp(std::trunc(v + d * (v - std::sqrt(v))), 0.0, 255.0);
    return std::clamp(static_cast<int>(v) + offset, 0, 255);
}

PictureBuffer adjustColours(const PictureBuffer& picture, const ColourAdjustment& adjustment) {
    if (!picture.isValid())
        return {};
    const int bits = picture.bitCount();
    PictureBuffer out = bits == 16 || bits == 32 ? copyAs24Bits(picture) : picture.duplicate();
    if (!out || adjustment.changesNothing())
        return out;
    const Table red = tableFor(adjustment.brightness, adjustment.red);
    const Table green = tableFor(adjustment.brightness, adjustment.green);
    const Table blue = tableFor(adjustment.brightness, adjustment.blue);
    if (out.bitCount() <= 8) {
        for (int i = 0; i < out.colourEntries(); ++i) {
            const ColourWord c = out.paletteColour(i);
            out.setPaletteColour(i, colourWord(red[static_cast<std::size_t>(redOf(c))],
                                               green[static_cast<std::size_t>(greenOf(c))],
                                               blue[static_cast<std::size_t>(blueOf(c))]));
        }
        return out;
    }
    if (out.bitCount() != 24 || out.compression() != Compression::None)
        return {};
    // Rows hold blue, green, red bytes.
    for (int y = 0; y < out.height(); ++y) {
        const std::span<std::byte> row = out.row(y);
        const std::size_t used = std::min(row.size(), static_cast<std::size_t>(out.width()) * 3);
        for (std::size_t x = 0; x + 2 < used; x += 3) {
            row[x] = static_cast<std::byte>(blue[static_cast<std::size_t>(row[x])]);
            row[x + 1] = static_cast<std::byte>(green[static_cast<std::size_t>(row[x + 1])]);
            row[x + 2] = static_cast<std::byte>(red[static_cast<std::size_t>(row[x + 2])]);
        }
    }
    return out;
}

} // namespace vemra
