#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <vector>

namespace vemra {

class DecoderRegistry;
class PictureSource;

// Decodes an entry's picture for its thumbnail. The document itself never
// talks to decoders; whoever owns the registry gives the document a loader.
class PictureLoader {
public:
    virtual ~PictureLoader() = default;

    // Decodes the picture of `entry` for a thumbnail that fits `width` x
    // `height` (a decoder may deliver it reduced, JPEG at 1/2 to 1/8), into
    // `out`. The entry learns its decoder, pixel size, bit count and info
    // text when they were not known yet. A box of 0 x 0 asks for the picture
    // at its full size. Returns a decoder result code (0 on success).
    virtual int loadForThumbnail(PictureSource& entry, int width, int height,
                                 PictureBuffer& out) = 0;

    // The bytes of the archive member `entry`, unpacked, for handing it to
    // another program as a file of its own. Returns a decoder result code; a
    // loader that cannot unpack archives answers failure (-1).
    virtual int extractMember(const PictureSource& entry, std::vector<std::byte>& out);
};

// The loader of the running program: the decoder registry, with the
// fallback to the next decoder that takes the picture when the entry's own
// decoder fails. The registry must outlive the loader.
class RegistryPictureLoader final : public PictureLoader {
public:
    explicit RegistryPictureLoader(DecoderRegistry& registry) : m_registry(registry) {}

    int loadForThumbnail(PictureSource& entry, int width, int height, PictureBuffer& out) override;
    int extractMember(const PictureSource& entry, std::vector<std::byte>& out) override;

private:
    DecoderRegistry& m_registry;
};

} // namespace vemra
