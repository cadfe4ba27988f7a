#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// ICC profiles larger than this are refused unread: real display and camera
// profiles stay well below it, and lcms2 would otherwise be handed whatever
// a hostile file claims.
inline constexpr std::size_t kMaxColourProfileBytes = std::size_t{4} << 20;

// What pictures are converted to for the screen: the display's ICC profile,
// or sRGB when the display has none (or it cannot be used). Immutable and
// shared: the interface thread makes one when the settings or the screen
// change, and thumbnail and viewer work take it by value.
class DisplayColour {
public:
    // The display taken as sRGB: untagged pictures are left untouched.
    static std::shared_ptr<const DisplayColour> srgb();
    // The display described by an ICC profile; null when the bytes are not a
    // usable RGB output profile (too large, damaged, another colour space).
    static std::shared_ptr<const DisplayColour> fromProfile(std::span<const std::byte> icc);

    bool isSrgb() const { return m_profile.empty(); }
    std::span<const std::byte> profile() const { return m_profile; }
    std::uint64_t profileHash() const { return m_hash; }
    // The profile's own description ("sRGB" for the built-in one).
    const std::string& description() const { return m_description; }
    // A short, never-zero tag of this target, stored with thumbnails so that
    // a thumbnail made for another display (or unmanaged, tag 0) is made
    // again: 1 for sRGB, else 16 bits of the profile's hash (never 0 or 1).
    std::uint16_t mark() const;

    explicit DisplayColour(std::vector<std::byte> profile, std::uint64_t hash,
                           std::string description)
        : m_profile(std::move(profile)), m_hash(hash), m_description(std::move(description)) {}

private:
    std::vector<std::byte> m_profile; // empty: sRGB
    std::uint64_t m_hash = 0;
    std::string m_description;
};

// The thumbnail mark of a target (0: colour management off).
inline std::uint16_t colourMarkOf(const std::shared_ptr<const DisplayColour>& target) {
    return target ? target->mark() : 0;
}

enum class ColourOutcome {
    Untouched,      // nothing to do: untagged on an sRGB display, or same profile
    Converted,      // the pixels (or the palette) now hold display colours
    ProfileIgnored, // the embedded profile was unusable or did not fit the picture
    Unsupported,    // a layout whose colours cannot be converted (16 bits, masks)
};

// Converts `picture` in place from the colours of its embedded ICC profile
// (`embedded`; empty: untagged, taken as sRGB) to `display`. 24- and 32-bit
// rows (BGR, BGRA with alpha kept) and the colour table of palette pictures
// are converted; a grey profile converts a grey palette. A profile that is
// damaged, oversized or of a colour space the picture does not have is
// ignored and the picture then treated as untagged. Thread-safe: transforms
// are cached for every thread; large pictures are split over a few threads.
ColourOutcome convertToDisplay(PictureBuffer& picture, std::span<const std::byte> embedded,
                               const DisplayColour& display);

// The description of an embedded ICC profile, empty when it cannot be read.
std::string colourProfileDescription(std::span<const std::byte> icc);

// Hash of profile bytes, as used to key the transform cache.
std::uint64_t colourProfileHash(std::span<const std::byte> icc);

} // namespace vemra
