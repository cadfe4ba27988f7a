#pragma once

#include <lcms2.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vemra {

// One ICC profile opened with lcms2. The bytes are treated as hostile: they
// are size-checked before lcms2 sees them, lcms2's error messages go nowhere
// (it never aborts; a failure is a null handle), and profiles lcms2 cannot
// use as they are meant (device links, abstract and named-colour profiles)
// are refused. Any thread: each object is used by one thread at a time.
class IccProfile {
public:
    // The profile in `bytes`; nullopt when it is oversized, damaged or not a
    // device profile with an XYZ or Lab connection space.
    static std::optional<IccProfile> open(std::span<const std::byte> bytes);
    // lcms2's own sRGB profile (IEC 61966-2-1).
    static IccProfile srgb();

    cmsHPROFILE handle() const { return m_handle.get(); }
    cmsColorSpaceSignature colourSpace() const;
    // The profile's description tag (English, else the first), or empty.
    std::string description() const;
    // True for an RGB matrix-shaper profile whose primaries and tone curves
    // match sRGB within what 8-bit channels can show: converting between it
    // and sRGB would only add rounding.
    bool isSrgbEquivalent() const;

private:
    struct Close {
        void operator()(void* h) const { cmsCloseProfile(h); }
    };
    explicit IccProfile(cmsHPROFILE h) : m_handle(h) {}
    std::unique_ptr<void, Close> m_handle;
};

// Silences lcms2's error log for the whole process (lcms2 reports through a
// global handler); called before any profile is opened. Idempotent.
void silenceColourLibrary();

} // namespace vemra
