#include "imaging/icc_profile.h"

#include "imaging/colour_management.h"

#include <array>
#include <cmath>
#include <mutex>

namespace vemra {
namespace {

// The ICC header is 128 bytes and a tag count follows (ICC.1:2010, 7.2).
constexpr std::size_t kMinProfileBytes = 132;

std::uint32_t bigEndian32(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) << 24 |
           std::to_integer<std::uint32_t>(b[at + 1]) << 16 |
           std::to_integer<std::uint32_t>(b[at + 2]) << 8 |
           std::to_integer<std::uint32_t>(b[at + 3]);
}

void ignoreError(cmsContext, cmsUInt32Number, const char*) {}

bool closeTo(const cmsCIEXYZ& a, const cmsCIEXYZ& b) {
    // 0.002 in XYZ moves an 8-bit channel by well under one step.
    constexpr double kTolerance = 0.002;
    return std::abs(a.X - b.X) < kTolerance && std::abs(a.Y - b.Y) < kTolerance &&
           std::abs(a.Z - b.Z) < kTolerance;
}

bool sameCurve(const cmsToneCurve* a, const cmsToneCurve* b) {
    if (a == nullptr || b == nullptr)
        return false;
    for (int i = 0; i <= 32; ++i) {
        const float x = static_cast<float>(i) / 32.0f;
        if (std::abs(cmsEvalToneCurveFloat(a, x) - cmsEvalToneCurveFloat(b, x)) > 0.5f / 255.0f)
            return false;
    }
    return true;
}

} // namespace

void silenceColourLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(ignoreError); });
}

std::optional<IccProfile> IccProfile::open(std::span<const std::byte> bytes) {
    if (bytes.size() < kMinProfileBytes || bytes.size() > kMaxColourProfileBytes)
        return std::nullopt;
    // A declared size beyond the bytes is a cut profile; lcms2 would read
    // tags that are not there as zeros at best.
    const std::uint32_t declared = bigEndian32(bytes, 0);
    if (declared < kMinProfileBytes || declared > bytes.size())
        return std::nullopt;
    silenceColourLibrary();
    cmsHPROFILE h = cmsOpenProfileFromMem(bytes.data(), declared);
    if (h == nullptr)
        return std::nullopt;
    IccProfile profile(h);
    const cmsProfileClassSignature kind = cmsGetDeviceClass(h);
    if (kind == cmsSigLinkClass || kind == cmsSigAbstractClass || kind == cmsSigNamedColorClass)
        return std::nullopt;
    const cmsColorSpaceSignature pcs = cmsGetPCS(h);
    if (pcs != cmsSigXYZData && pcs != cmsSigLabData)
        return std::nullopt;
    return profile;
}

IccProfile IccProfile::srgb() {
    silenceColourLibrary();
    return IccProfile(cmsCreate_sRGBProfile());
}

cmsColorSpaceSignature IccProfile::colourSpace() const {
    return cmsGetColorSpace(handle());
}

std::string IccProfile::description() const {
    std::array<char, 256> text{};
    const cmsUInt32Number n =
        cmsGetProfileInfoASCII(handle(), cmsInfoDescription, "en", "US", text.data(), text.size());
    if (n == 0)
        return {};
    return std::string(text.data());
}

bool IccProfile::isSrgbEquivalent() const {
    if (colourSpace() != cmsSigRgbData || !cmsIsMatrixShaper(handle()))
        return false;
    static const IccProfile reference = srgb();
    static std::mutex readingReference; // lcms2 caches tags it reads
    const std::lock_guard lock(readingReference);
    const cmsTagSignature colorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                         cmsSigBlueColorantTag};
    for (cmsTagSignature tag : colorants) {
        const auto* mine = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle(), tag));
        const auto* theirs = static_cast<const cmsCIEXYZ*>(cmsReadTag(reference.handle(), tag));
        if (mine == nullptr || theirs == nullptr || !closeTo(*mine, *theirs))
            return false;
    }
    const cmsTagSignature curves[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (cmsTagSignature tag : curves) {
        if (!sameCurve(static_cast<const cmsToneCurve*>(cmsReadTag(handle(), tag)),
                       static_cast<const cmsToneCurve*>(cmsReadTag(reference.handle(), tag))))
            return false;
    }
    return true;
}

} // namespace vemra
