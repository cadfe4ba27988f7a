#include "imaging/written_profile.h"

#include "imaging/colour_management.h"
#include "imaging/icc_profile.h"

namespace vemra {

bool fitsColourFile(std::span<const std::byte> icc) {
    if (icc.empty() || icc.size() > kMaxColourProfileBytes)
        return false;
    const std::optional<IccProfile> profile = IccProfile::open(icc);
    return profile && profile->colourSpace() == cmsSigRgbData &&
           cmsIsIntentSupported(profile->handle(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT);
}

} // namespace vemra
