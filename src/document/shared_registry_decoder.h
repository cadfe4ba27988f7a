#pragma once

#include "document/picture_conversion.h"
#include "imaging/decoder.h"

#include <mutex>
#include <optional>
#include <string>

namespace vemra {

class DecoderRegistry;

// Decodes picture files for conversions running on several threads. The
// built-in decoders keep no state between calls, so they are called
// directly on any thread; plug-ins (and a built-in decode that fails, for
// the registry's retries) go through the registry one call at a time, as
// it is not thread-safe. Identification and measuring reorder the
// registry's lists, so prepare() belongs to the thread that owns it.
class SharedRegistryDecoder {
public:
    explicit SharedRegistryDecoder(DecoderRegistry& registry) : m_registry(registry) {}

    struct Source {
        std::string path;
        DecoderId decoder = kNoDecoder;
        PictureSize full; // 0 x 0 when the decoder could not tell
    };
    // Identifies and measures `path`; nullopt when no decoder takes it.
    std::optional<Source> prepare(const std::string& path);

    // The decode of `source`, callable from any thread while this object
    // lives.
    ReducedDecode decodeFor(const Source& source);

private:
    int decode(const Source& source, int reduction, PictureBuffer& out);

    DecoderRegistry& m_registry;
    std::mutex m_registryLock;
};

} // namespace vemra
