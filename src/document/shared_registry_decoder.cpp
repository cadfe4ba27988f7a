#include "document/shared_registry_decoder.h"

#include "document/registry_scan_services.h"
#include "imaging/decoder_registry.h"
#include "imaging/plugin_module.h"

namespace vemra {

std::optional<SharedRegistryDecoder::Source>
SharedRegistryDecoder::prepare(const std::string& path) {
    std::lock_guard guard(m_registryLock);
    Source source;
    source.path = path;
    source.decoder = RegistryScanServices(m_registry).identifyFile(path);
    if (source.decoder < 0)
        return std::nullopt;
    PluginPictureInfo info;
    if (m_registry.info(source.decoder, PluginSource::file(path), info) == 0 && info.width > 0 &&
        info.height > 0)
        source.full = {info.width, info.height};
    return source;
}

ReducedDecode SharedRegistryDecoder::decodeFor(const Source& source) {
    return [this, source](int reduction, PictureBuffer& out) {
        return decode(source, reduction, out);
    };
}

int SharedRegistryDecoder::decode(const Source& source, int reduction, PictureBuffer& out) {
    DecodeOptions options;
    options.reduction = reduction;
    // The text renderer needs the font machinery of the interface thread.
    if (const BuiltinDecoder* builtin = findBuiltinDecoder(source.decoder);
        builtin != nullptr && source.decoder != kTextDecoderId) {
        if (builtin->picture(source.path.c_str(), 0, 0, out, options) == 0 && out)
            return 0;
        out = PictureBuffer{};
    }
    std::lock_guard guard(m_registryLock);
    return m_registry.picture(source.decoder, PluginSource::file(source.path), out, options);
}

} // namespace vemra
