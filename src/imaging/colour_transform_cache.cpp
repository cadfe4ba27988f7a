#include "imaging/colour_transform_cache.h"

#include "imaging/colour_management.h"
#include "imaging/icc_profile.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace vemra {
namespace {

struct RouteKey {
    std::uint64_t source = 0;
    std::uint64_t display = 0;
    ColourPixels pixels = ColourPixels::Bgr;
    friend bool operator==(const RouteKey&, const RouteKey&) = default;
};

struct CachedRoute {
    RouteKey key;
    ColourRoute route;
    std::uint64_t lastUse = 0;
};

struct RouteCache {
    std::mutex mutex;
    std::vector<CachedRoute> routes;
    std::uint64_t clock = 0;
};

RouteCache& cache() {
    static RouteCache instance;
    return instance;
}

cmsUInt32Number formatOf(ColourPixels pixels, bool output) {
    switch (pixels) {
    case ColourPixels::Bgra:
        return TYPE_BGRA_8;
    case ColourPixels::Grey:
        return output ? TYPE_BGR_8 : TYPE_GRAY_8;
    case ColourPixels::Bgr:
        break;
    }
    return TYPE_BGR_8;
}

cmsColorSpaceSignature spaceOf(ColourPixels pixels) {
    return pixels == ColourPixels::Grey ? cmsSigGrayData : cmsSigRgbData;
}

// Opens both profiles and builds the transform; runs outside the cache's
// lock, since optimising a transform takes a millisecond or more.
ColourRoute buildRoute(std::span<const std::byte> source, const DisplayColour& display,
                       ColourPixels pixels) {
    const std::optional<IccProfile> from =
        source.empty() ? std::optional<IccProfile>(IccProfile::srgb()) : IccProfile::open(source);
    if (!from || from->colourSpace() != spaceOf(pixels) ||
        !cmsIsIntentSupported(from->handle(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT))
        return {ColourRoute::Kind::Refused, nullptr};
    // sRGB by another name on an sRGB display: nothing to convert.
    if (display.isSrgb() && (source.empty() || from->isSrgbEquivalent()))
        return {ColourRoute::Kind::Identity, nullptr};
    const std::optional<IccProfile> to = display.isSrgb()
                                             ? std::optional<IccProfile>(IccProfile::srgb())
                                             : IccProfile::open(display.profile());
    if (!to)
        return {ColourRoute::Kind::Refused, nullptr};
    // The 1-pixel cache would be shared by the threads running the
    // transform; alpha is copied so a converted copy keeps it too.
    const cmsUInt32Number flags =
        cmsFLAGS_NOCACHE | (pixels == ColourPixels::Bgra ? cmsFLAGS_COPY_ALPHA : 0);
    cmsHTRANSFORM transform =
        cmsCreateTransform(from->handle(), formatOf(pixels, false), to->handle(),
                           formatOf(pixels, true), INTENT_PERCEPTUAL, flags);
    if (transform == nullptr)
        return {ColourRoute::Kind::Refused, nullptr};
    if (pixels == ColourPixels::Grey)
        return {ColourRoute::Kind::Convert, std::make_shared<const ColourTransform>(transform)};
    const int bytes = pixels == ColourPixels::Bgra ? 4 : 3;
    return {ColourRoute::Kind::Convert,
            std::make_shared<const ColourTransform>(
                transform,
                MatrixShaperTransform::build(from->handle(), to->handle(), transform, bytes),
                bytes)};
}

} // namespace

void ColourTransform::run(const void* in, void* out, std::uint32_t pixels, std::uint32_t lines,
                          std::uint32_t strideIn, std::uint32_t strideOut) const {
    if (m_fast) {
        const auto* from = static_cast<const std::uint8_t*>(in);
        auto* to = static_cast<std::uint8_t*>(out);
        for (std::uint32_t line = 0; line < lines; ++line)
            m_fast->run(from + std::size_t{strideIn} * line, to + std::size_t{strideOut} * line,
                        pixels, m_bytesPerPixel);
        return;
    }
    cmsDoTransformLineStride(m_handle, in, out, pixels, lines, strideIn, strideOut, 0, 0);
}

ColourRoute colourRoute(std::span<const std::byte> source, std::uint64_t sourceHash,
                        const DisplayColour& display, ColourPixels pixels) {
    // A picture made for this very display (a screenshot, say).
    if (!source.empty() && !display.isSrgb() && pixels != ColourPixels::Grey &&
        sourceHash == display.profileHash() &&
        std::equal(source.begin(), source.end(), display.profile().begin(),
                   display.profile().end()))
        return {ColourRoute::Kind::Identity, nullptr};
    const RouteKey key{source.empty() ? 0 : sourceHash, display.profileHash(), pixels};
    RouteCache& c = cache();
    {
        const std::lock_guard lock(c.mutex);
        for (CachedRoute& cached : c.routes) {
            if (cached.key == key) {
                cached.lastUse = ++c.clock;
                return cached.route;
            }
        }
    }
    ColourRoute route = buildRoute(source, display, pixels);
    const std::lock_guard lock(c.mutex);
    // Another thread may have built the same route meanwhile: keep one.
    for (CachedRoute& cached : c.routes) {
        if (cached.key == key)
            return cached.route;
    }
    if (c.routes.size() >= kMaxColourRoutes) {
        const auto oldest = std::min_element(
            c.routes.begin(), c.routes.end(),
            [](const CachedRoute& a, const CachedRoute& b) { return a.lastUse < b.lastUse; });
        c.routes.erase(oldest);
    }
    c.routes.push_back({key, route, ++c.clock});
    return route;
}

std::size_t colourRouteCount() {
    const std::lock_guard lock(cache().mutex);
    return cache().routes.size();
}

void clearColourRoutes() {
    const std::lock_guard lock(cache().mutex);
    cache().routes.clear();
}

} // namespace vemra
