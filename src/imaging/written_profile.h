#pragma once

#include <cstddef>
#include <span>

namespace vemra {

// Whether the ICC profile `icc` may be stored in a JPEG or PNG file of
// colour pixels: an RGB device profile lcms2 reads and can use as input, no
// larger than any real profile. Grey and CMYK profiles, device links and
// damaged bytes are refused: a file carrying one would be read wrongly (or
// refused) by every other program. Any thread.
bool fitsColourFile(std::span<const std::byte> icc);

} // namespace vemra
