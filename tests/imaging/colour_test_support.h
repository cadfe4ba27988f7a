#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vemra::test {

// The bytes of an lcms2 profile (a cmsHPROFILE), which is closed here.
std::vector<std::byte> savedProfile(void* profile);

// ICC profiles made with lcms2 for tests and benchmarks: Adobe RGB (1998)
// by its published primaries and gamma, lcms2's own sRGB, a grey profile of
// gamma 2.2, and Display P3. `paddedCurves` makes the Adobe RGB profile carry
// tabulated tone curves of that many entries, so that it no longer fits one
// JPEG marker.
std::vector<std::byte> adobeRgbProfile(int paddedCurves = 0);
std::vector<std::byte> srgbProfile();
std::vector<std::byte> greyProfile();
std::vector<std::byte> displayP3Profile();

// A 24-bit picture written as PNG (iCCP), JPEG (APP2 chain, quality 100) or
// TIFF (InterColorProfile) with `icc` embedded (none when empty).
std::vector<std::byte> pngWithProfile(const PictureBuffer& picture,
                                      const std::vector<std::byte>& icc);
std::vector<std::byte> jpegWithProfile(const PictureBuffer& picture,
                                       const std::vector<std::byte>& icc);
std::vector<std::byte> tiffWithProfile(const PictureBuffer& picture,
                                       const std::vector<std::byte>& icc,
                                       const std::string& scratchPath);

} // namespace vemra::test
