#pragma once

#include "imaging/colour_management.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vemra {

class PictureSource;

// The target the colour options ask for: null when `managed` is off; else
// the profile file `profileFile` when it names a usable display profile,
// else the desktop's display profile when it is usable, else sRGB. A target
// with the same mark as `previous` gives `previous` itself, so entries that
// hold it need not be told.
std::shared_ptr<const DisplayColour>
chooseDisplayColour(bool managed, const std::string& profileFile,
                    std::span<const std::byte> desktopProfile,
                    const std::shared_ptr<const DisplayColour>& previous = nullptr);

// The bytes of an ICC profile file, empty when it cannot be read or is
// larger than any profile.
std::vector<std::byte> readColourProfileFile(const std::string& path);

// Converts a picture just decoded for `entry` to the entry's display target
// (its drawing options), reading the profile embedded in the entry's file.
// Nothing happens while colour management is off. Archive members are taken
// as untagged: their bytes are not at hand here. Any thread.
void convertForDisplay(PictureBuffer& picture, const PictureSource& entry);
// The same with the profile embedded in the picture already read (empty:
// untagged), for callers that read the picture's metadata anyway.
void convertForDisplay(PictureBuffer& picture, const PictureSource& entry,
                       std::span<const std::byte> embedded);

} // namespace vemra
