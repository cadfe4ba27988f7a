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

// The member's first bytes, zero-padded to the 2048 identification is
// promised; empty when the member cannot be unpacked.
std::vector<std::byte> RegistryScanServices::memberHeader(DecoderId archiveDecoder,
                                                          const std::string& archivePath,
                                                          const ArchiveEntry& member) const {
    SpiBlock bytes;
    if (m_registry.archiveFileToMemory(archiveDecoder, archivePath, member.position, bytes) != 0) {
        return {};
    }
    std::vector<std::byte> header(SPI_HEADER_BYTES);
    const auto data = bytes.bytes();
    std::copy_n(data.begin(), std::min(data.size(), header.size()), header.begin());
    return header;
}

DecoderId RegistryScanServices::identifyMember(DecoderId archiveDecoder,
                                               const std::string& archivePath,
                                               const ArchiveEntry& member) const {
    const std::vector<std::byte> header = memberHeader(archiveDecoder, archivePath, member);
    if (header.empty()) {
        return kNoDecoder;
    }
    IdentifyRequest request;
    request.fileName = entryFileName(member);
    request.header = header;
    request.archive = archiveDecoder;
    return orNone(m_registry.identify(request));
}

// All members are unpacked first, then identified together: unpacking asks
// only the archive plug-in and identifying only the picture decoders, so
// neither changes what the other answers, and the answers stay those of
// one member after the other.
std::vector<DecoderId>
RegistryScanServices::identifyMembers(DecoderId archiveDecoder, const std::string& archivePath,
                                      std::span<const ArchiveEntry> members) const {
    std::vector<std::vector<std::byte>> headers(members.size());
    std::vector<IdentifyRequest> requests;
    std::vector<std::size_t> asked;
    for (std::size_t i = 0; i < members.size(); ++i) {
        headers[i] = memberHeader(archiveDecoder, archivePath, members[i]);
        if (headers[i].empty()) {
            continue;
        }
        IdentifyRequest& request = requests.emplace_back();
        request.fileName = entryFileName(members[i]);
        request.header = headers[i];
        request.archive = archiveDecoder;
        asked.push_back(i);
    }
    std::vector<DecoderId> out(members.size(), kNoDecoder);
    const std::vector<DecoderId> found = m_registry.identifyFiles(requests);
    for (std::size_t k = 0; k < asked.size() && k < found.size(); ++k) {
        out[asked[k]] = orNone(found[k]);
    }
    return out;
}

DecoderId RegistryScanServices::identifyArchive(const std::string& path) const {
    IdentifyRequest request;
    request.fileName = path;
    request.kind = DecoderKind::Archive;
    return orNone(m_registry.identify(request));
}

std::vector<DecoderId>
RegistryScanServices::identifyArchives(const std::vector<std::string>& paths) const {
    std::vector<IdentifyRequest> requests(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        requests[i].fileName = paths[i];
        requests[i].kind = DecoderKind::Archive;
    }
    std::vector<DecoderId> out = m_registry.identifyFiles(requests);
    std::transform(out.begin(), out.end(), out.begin(), orNone);
    return out;
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
