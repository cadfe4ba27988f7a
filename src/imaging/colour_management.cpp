#include "imaging/colour_management.h"

#include "imaging/colour_transform_cache.h"
#include "imaging/icc_profile.h"

#include <algorithm>
#include <string_view>
#include <thread>
#include <vector>

namespace vemra {
namespace {

// Below this many pixels a picture is converted on the calling thread:
// starting threads would cost more than they save (thumbnails, icons).
constexpr std::int64_t kPixelsPerThread = std::int64_t{1} << 20;
constexpr unsigned kMaxThreads = 8;

bool standardMasks(const PictureBuffer& picture) {
    const std::span<const std::byte> masks = picture.bitFieldMasks();
    if (masks.size() < 12)
        return false;
    const auto word = [&](std::size_t at) {
        return std::to_integer<std::uint32_t>(masks[at]) |
               std::to_integer<std::uint32_t>(masks[at + 1]) << 8 |
               std::to_integer<std::uint32_t>(masks[at + 2]) << 16 |
               std::to_integer<std::uint32_t>(masks[at + 3]) << 24;
    };
    return word(0) == 0xFF0000 && word(4) == 0xFF00 && word(8) == 0xFF;
}

// Runs the transform over `lines` rows, in bands on a few threads when the
// picture is large. Every band is rows of its own, so the threads never
// touch the same bytes.
void runRows(const ColourTransform& transform, std::byte* rows, int width, int lines,
             std::size_t stride) {
    const std::int64_t pixels = static_cast<std::int64_t>(width) * lines;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto bands = static_cast<int>(std::clamp<std::int64_t>(
        pixels / kPixelsPerThread, 1, std::min<std::int64_t>({cores, kMaxThreads, lines})));
    const auto runBand = [&](int band) {
        const int first = static_cast<int>(static_cast<std::int64_t>(lines) * band / bands);
        const int last = static_cast<int>(static_cast<std::int64_t>(lines) * (band + 1) / bands);
        std::byte* start = rows + stride * static_cast<std::size_t>(first);
        transform.run(start, start, static_cast<std::uint32_t>(width),
                      static_cast<std::uint32_t>(last - first), static_cast<std::uint32_t>(stride),
                      static_cast<std::uint32_t>(stride));
    };
    std::vector<std::jthread> helpers;
    for (int band = 1; band < bands; ++band)
        helpers.emplace_back(runBand, band);
    runBand(0);
}

bool greyPalette(const PictureBuffer& picture) {
    for (int i = 0; i < picture.colourEntries(); ++i) {
        const ColourWord c = picture.paletteColour(i);
        if (redOf(c) != greenOf(c) || greenOf(c) != blueOf(c))
            return false;
    }
    return picture.colourEntries() > 0;
}

// A grey palette through a grey profile: the levels go in one by one and
// come out as display colours.
void convertGreyPalette(PictureBuffer& picture, const ColourTransform& transform) {
    const int n = picture.colourEntries();
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        levels[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(redOf(picture.paletteColour(i)));
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(n) * 3);
    transform.run(levels.data(), bgr.data(), static_cast<std::uint32_t>(n), 1,
                  static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t* p = bgr.data() + static_cast<std::size_t>(i) * 3;
        picture.setPaletteColour(i, colourWord(p[2], p[1], p[0]));
    }
}

} // namespace

std::uint64_t colourProfileHash(std::span<const std::byte> icc) {
    const std::string_view text(reinterpret_cast<const char*>(icc.data()), icc.size());
    // Mixed with the length so that an empty profile (sRGB) never collides.
    return std::hash<std::string_view>{}(text) ^ (icc.size() * 0x9E3779B97F4A7C15ull);
}

std::shared_ptr<const DisplayColour> DisplayColour::srgb() {
    static const auto instance = std::make_shared<const DisplayColour>(
        std::vector<std::byte>{}, std::uint64_t{0}, std::string("sRGB"));
    return instance;
}

std::shared_ptr<const DisplayColour> DisplayColour::fromProfile(std::span<const std::byte> icc) {
    const std::optional<IccProfile> profile = IccProfile::open(icc);
    if (!profile || profile->colourSpace() != cmsSigRgbData ||
        !cmsIsIntentSupported(profile->handle(), INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT))
        return nullptr;
    return std::make_shared<const DisplayColour>(std::vector<std::byte>(icc.begin(), icc.end()),
                                                 colourProfileHash(icc), profile->description());
}

std::uint16_t DisplayColour::mark() const {
    if (isSrgb())
        return 1;
    const auto folded =
        static_cast<std::uint16_t>(m_hash ^ m_hash >> 16 ^ m_hash >> 32 ^ m_hash >> 48);
    return folded < 2 ? static_cast<std::uint16_t>(folded + 2) : folded;
}

std::string colourProfileDescription(std::span<const std::byte> icc) {
    const std::optional<IccProfile> profile = IccProfile::open(icc);
    return profile ? profile->description() : std::string();
}

ColourOutcome convertToDisplay(PictureBuffer& picture, std::span<const std::byte> embedded,
                               const DisplayColour& display) {
    const std::optional<DibLayout> layout = picture.layout();
    if (!layout)
        return ColourOutcome::Unsupported;
    const bool palette = layout->storageBits <= 8;
    ColourPixels pixels = ColourPixels::Bgr;
    if (palette) {
        if (layout->colourEntries == 0)
            return ColourOutcome::Unsupported;
        // The fourth byte of a table entry travels as alpha and stays.
        pixels = layout->entryBytes == 4 ? ColourPixels::Bgra : ColourPixels::Bgr;
    } else if (layout->storageBits == 32 &&
               (layout->compression == Compression::None ||
                (layout->compression == Compression::BitFields && standardMasks(picture)))) {
        pixels = ColourPixels::Bgra;
    } else if (layout->storageBits != 24 || layout->compression != Compression::None) {
        return ColourOutcome::Unsupported;
    }

    ColourRoute route;
    bool ignored = false;
    bool grey = false;
    if (!embedded.empty()) {
        const std::uint64_t hash = colourProfileHash(embedded);
        route = colourRoute(embedded, hash, display, pixels);
        if (route.kind == ColourRoute::Kind::Refused && palette && greyPalette(picture)) {
            route = colourRoute(embedded, hash, display, ColourPixels::Grey);
            grey = route.kind == ColourRoute::Kind::Convert;
        }
        ignored = route.kind == ColourRoute::Kind::Refused;
    }
    if (embedded.empty() || ignored) {
        if (display.isSrgb())
            return ignored ? ColourOutcome::ProfileIgnored : ColourOutcome::Untouched;
        route = colourRoute({}, 0, display, pixels);
    }
    if (route.kind != ColourRoute::Kind::Convert)
        return ignored ? ColourOutcome::ProfileIgnored : ColourOutcome::Untouched;

    if (grey) {
        convertGreyPalette(picture, *route.transform);
    } else if (palette) {
        const std::span<std::byte> table = picture.colourTable();
        const auto n = static_cast<std::uint32_t>(layout->colourEntries);
        const auto bytes = static_cast<std::uint32_t>(n * layout->entryBytes);
        if (table.size() < bytes)
            return ColourOutcome::Unsupported;
        route.transform->run(table.data(), table.data(), n, 1, bytes, bytes);
    } else {
        const std::span<std::byte> rows = picture.pixels();
        if (rows.size() < layout->rowBytes * static_cast<std::size_t>(layout->height))
            return ColourOutcome::Unsupported;
        runRows(*route.transform, rows.data(), layout->width, layout->height, layout->rowBytes);
    }
    return ignored ? ColourOutcome::ProfileIgnored : ColourOutcome::Converted;
}

} // namespace vemra
