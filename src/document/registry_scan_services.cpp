#include "document/registry_scan_services.h"

#include <algorithm>

namespace vemra {
namespace {

// A fault inside a plug-in ends identification; for the scan that simply
// means no decoder.
DecoderId orNone(DecoderId id) {
    return id < 0 ? kNoDecoder : id;
}

void append(std::string& out, const std::string& patterns) {
    if (patterns.empty()) {
        return;
    }
    if (!out.empty()) {
        out += ';';
    }
    out += patterns;
}

} // namespace

DecoderId RegistryScanServices::identifyFile(const std::string& path) const {
    IdentifyRequest request;
    request.fileName = path;
    return orNone(m_registry.identify(request));
}

std::vector<DecoderId>
RegistryScanServices::identifyFiles(const std::vector<std::string>& paths) const {
    std::vector<IdentifyRequest> requests(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        requests[i].fileName = paths[i];
    }
    std::vector<DecoderId> out = m_registry.identifyFiles(requests);
    std::transform(out.begin(), out.end(), out.begin(), orNone);
    return out;
}

DecoderId RegistryScanServices::identifyMember(DecoderId archiveDecoder,
                                               const std::string& archivePath,
                                               const ArchiveEntry& member) const {
    SpiBlock bytes;
    if (m_registry.archiveFileToMemory(archiveDecoder, archivePath, member.position, bytes) != 0) {
        return kNoDecoder;
    }
    // Identification is promised 2048 readable bytes.
    std::vector<std::byte> header(SPI_HEADER_BYTES);
    const auto data = bytes.bytes();
    std::copy_n(data.begin(), std::min(data.size(), header.size()), header.begin());
    IdentifyRequest request;
    request.fileName = entryFileName(member);
    request.header = header;
    request.archive = archiveDecoder;
    return orNone(m_registry.identify(request));
}

DecoderId RegistryScanServices::identifyArchive(const std::string& path) const {
    IdentifyRequest request;
    request.fileName = path;
    request.kind = DecoderKind::Archive;
    return orNone(m_registry.identify(request));
}

ResultCode RegistryScanServices::listArchive(DecoderId archiveDecoder, const std::string& path,
                                             std::vector<ArchiveEntry>& members) const {
    return static_cast<ResultCode>(
        m_registry.archiveList(archiveDecoder, PluginSource::file(path), members));
}

// A decoder that is known but switched off does not count, as the
// interface promises.
DecoderId RegistryScanServices::pictureDecoderNamed(std::string_view name) const {
    const DecoderId id = m_registry.find(name, DecoderKind::Picture);
    return id != kNoDecoder && m_registry.inUse(id, DecoderKind::Picture) ? id : kNoDecoder;
}

DecoderId RegistryScanServices::archiveDecoderNamed(std::string_view name) const {
    const DecoderId id = m_registry.find(name, DecoderKind::Archive);
    return id != kNoDecoder && m_registry.inUse(id, DecoderKind::Archive) ? id : kNoDecoder;
}

std::string RegistryScanServices::pictureDecoderLabel(DecoderId id) const {
    return id < 0 ? std::string() : m_registry.name(id, DecoderKind::Picture);
}

std::string RegistryScanServices::archiveDecoderLabel(DecoderId id) const {
    return id < 0 ? std::string() : m_registry.name(id, DecoderKind::Archive);
}

std::string RegistryScanServices::pictureExtensions() const {
    std::string out;
    for (DecoderId id = 0; id < m_registry.count(DecoderKind::Picture); ++id) {
        if (m_registry.inUse(id, DecoderKind::Picture)) {
            append(out, m_registry.extensionList(id, DecoderKind::Picture));
        }
    }
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (m_registry.inUse(d.id, DecoderKind::Picture)) {
            append(out, std::string(d.extensions));
        }
    }
    return out;
}

std::string RegistryScanServices::archiveExtensions() const {
    std::string out;
    for (DecoderId id = 0; id < m_registry.count(DecoderKind::Archive); ++id) {
        if (m_registry.inUse(id, DecoderKind::Archive)) {
            append(out, m_registry.extensionList(id, DecoderKind::Archive));
        }
    }
    return out;
}

bool RegistryScanServices::extensionListsOnly() const {
    return m_registry.settings().pluginExtensionOnly;
}

} // namespace vemra
