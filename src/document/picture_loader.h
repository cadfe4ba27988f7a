#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace vemra {

class DecoderRegistry;
class PictureSource;

// A thumbnail decode spread over several calls (see
// PictureLoader::beginThumbnailDecode). It owns what it reads, so it may be
// kept between idle steps; it keeps nothing of the entry it was begun for.
class ThumbnailDecode {
public:
    virtual ~ThumbnailDecode() = default;
    // Decodes on until done or `shouldStop` answers true, which it asks
    // after each band; every call makes progress. True once done.
    virtual bool step(const std::function<bool()>& shouldStop) = 0;
    // Once done: what loadForThumbnail would have answered. On success the
    // picture goes to `out` and `entry` learns its size, bit count and info
    // text as loadForThumbnail teaches it; on failure nothing changes (the
    // caller then takes the one-call way, which tries the other decoders).
    virtual int finish(PictureSource& entry, PictureBuffer& out) = 0;
};

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

    // The same decode in steps, when the entry's picture allows it: null
    // otherwise (the default), and then loadForThumbnail is the way. It may
    // identify the entry first, as loadForThumbnail does.
    virtual std::unique_ptr<ThumbnailDecode> beginThumbnailDecode(PictureSource& entry, int width,
                                                                  int height);

    // The bytes of the archive member `entry`, unpacked, for handing it to
    // another program as a file of its own. Returns a decoder result code; a
    // loader that cannot unpack archives answers failure (-1).
    virtual int extractMember(const PictureSource& entry, std::vector<std::byte>& out);

    // Held by a worker thread while it decodes through the loader, so that
    // what the loader decodes with does not change under it. The default
    // holds nothing.
    virtual std::shared_lock<std::shared_mutex> workerUse() { return {}; }
};

// The loader of the running program: the decoder registry, with the
// fallback to the next decoder that takes the picture when the entry's own
// decoder fails. The registry must outlive the loader.
class RegistryPictureLoader final : public PictureLoader {
public:
    explicit RegistryPictureLoader(DecoderRegistry& registry) : m_registry(registry) {}

    int loadForThumbnail(PictureSource& entry, int width, int height, PictureBuffer& out) override;
    // Plain files the built-in JPEG decoder takes are decoded in steps.
    std::unique_ptr<ThumbnailDecode> beginThumbnailDecode(PictureSource& entry, int width,
                                                          int height) override;
    int extractMember(const PictureSource& entry, std::vector<std::byte>& out) override;
    std::shared_lock<std::shared_mutex> workerUse() override;

private:
    DecoderRegistry& m_registry;
};

} // namespace vemra
