#pragma once

#include <cstddef>
#include <span>

namespace vemra {

// Where the JPEG stream in `data` begins: the first FF D8 from which a chain
// of marker segments leads to a start-of-scan marker, or 0 when there is none.
std::size_t jpegDataStart(std::span<const std::byte> data);

// True once the JPEG library has reported an error in this process.
bool jpegErrorSeen();

} // namespace vemra
