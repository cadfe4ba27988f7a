#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// The ICC colour profile embedded in a picture file: JPEG APP2
// "ICC_PROFILE" chains, PNG iCCP, the TIFF InterColorProfile tag, WebP ICCP
// and the HEIF/AVIF "colr" box, read with exiv2. Empty when the picture
// carries none, is not a format exiv2 knows, or is damaged; profiles larger
// than kMaxColourProfileBytes are dropped. Never throws, never prints, any
// thread.
std::vector<std::byte> embeddedColourProfile(std::span<const std::byte> file);
std::vector<std::byte> embeddedColourProfile(const std::string& path);

} // namespace vemra
