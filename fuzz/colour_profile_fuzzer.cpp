// Hostile colour profiles through every lcms2 call the program makes: the
// bytes as an embedded profile converting pictures of each layout, as a
// display profile, and as a whole picture file whose embedded profile exiv2
// finds and the conversion then takes.
#include "fuzz_support.h"
#include "imaging/colour_management.h"
#include "imaging/embedded_profile.h"

#include <cstdlib>

namespace {

using namespace vemra;

void convertEveryLayout(std::span<const std::byte> icc, const DisplayColour& display) {
    for (int bits : {24, 32, 8}) {
        PictureBuffer picture = PictureBuffer::create(7, 5, bits);
        if (!picture)
            std::abort();
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                picture.setPixel(x, y, static_cast<std::uint32_t>(x * 40 + y * 3));
        if (bits == 8)
            for (int i = 0; i < 256; ++i)
                picture.setPaletteColour(i, colourWord(i, i, i));
        const std::size_t size = picture.blockSize();
        (void)convertToDisplay(picture, icc, display);
        // A conversion changes colours, never the layout.
        if (picture.blockSize() != size || picture.width() != 7 || picture.height() != 5)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes = fuzz::asBytes(data, size);
    convertEveryLayout(bytes, *DisplayColour::srgb());
    (void)colourProfileDescription(bytes);
    if (const auto display = DisplayColour::fromProfile(bytes)) {
        convertEveryLayout({}, *display);
        (void)display->mark();
    }
    const std::vector<std::byte> embedded = embeddedColourProfile(bytes);
    if (embedded.size() > kMaxColourProfileBytes)
        std::abort();
    if (!embedded.empty())
        convertEveryLayout(embedded, *DisplayColour::srgb());
    return 0;
}
