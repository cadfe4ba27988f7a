#pragma once

#include "imaging/decoder.h"
#include "imaging/gif_format.h"

#include <vector>

// What the two GIF decoders share: identification and info.
namespace vemra {

bool identifyGif(const char* fileName, const void* header);
int gifInfo(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
            const DecodeOptions& options);

// The depth a GIF picture gets for its colour bits: 8 from 5 bits up, 4 for
// 2 to 4 bits, 1 for 1 bit.
int gifPictureDepth(int colourBits);

// Fills the first 2^colourBits entries of `picture`'s colour table from the
// GIF's table (red, green, blue), or with a grey ramp when there is none.
void setGifColours(PictureBuffer& picture, std::span<const std::byte> table, int colourBits);

} // namespace vemra

namespace vemra::gif2 {
// The zero-padded copy of `data` with the trailer the GIF2 decoder writes
// where the block structure stops making sense; empty without a screen.
std::vector<std::byte> repairedForTesting(std::span<const std::byte> data);
} // namespace vemra::gif2
