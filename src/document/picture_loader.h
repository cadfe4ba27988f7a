#pragma once

#include "imaging/picture_buffer.h"

#include <string>

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
    // text when they were not known yet. Returns a decoder result code (0 on
    // success).
    virtual int loadForThumbnail(PictureSource& entry, int width, int height,
                                 PictureBuffer& out) = 0;

    // Writes the archive member `entry` to the file `path` (atomically), so
    // that programs which know nothing of archives can open it. A result
    // code; a plain file, or a loader without archives, gives a failure.
    virtual int extractMember(const PictureSource& entry, const std::string& path);
};

// The loader of the running program: the decoder registry, with the
// fallback to the next decoder that takes the picture when the entry's own
// decoder fails. The registry must outlive the loader.
class RegistryPictureLoader final : public PictureLoader {
public:
    explicit RegistryPictureLoader(DecoderRegistry& registry) : m_registry(registry) {}

    int loadForThumbnail(PictureSource& entry, int width, int height, PictureBuffer& out) override;
    int extractMember(const PictureSource& entry, const std::string& path) override;

private:
    DecoderRegistry& m_registry;
};

} // namespace vemra
