#pragma once

#include "document/scan_services.h"
#include "imaging/decoder_registry.h"

namespace vemra {

// The scan's questions answered by the decoder registry: plug-ins in use
// first (with the fault guard around every call), then the built-ins whose
// switches are on. The registry must outlive this object; like the registry,
// it is for the thread that owns the document.
class RegistryScanServices final : public ScanServices {
public:
    explicit RegistryScanServices(DecoderRegistry& registry) : m_registry(registry) {}

    DecoderId identifyFile(const std::string& path) const override;
    std::vector<DecoderId> identifyFiles(const std::vector<std::string>& paths) const override;
    DecoderId identifyMember(DecoderId archiveDecoder, const std::string& archivePath,
                             const ArchiveEntry& member) const override;
    std::vector<DecoderId> identifyMembers(DecoderId archiveDecoder, const std::string& archivePath,
                                           std::span<const ArchiveEntry> members) const override;
    DecoderId identifyArchive(const std::string& path) const override;
    std::vector<DecoderId> identifyArchives(const std::vector<std::string>& paths) const override;
    ResultCode listArchive(DecoderId archiveDecoder, const std::string& path,
                           std::vector<ArchiveEntry>& members) const override;
    DecoderId pictureDecoderNamed(std::string_view name) const override;
    DecoderId archiveDecoderNamed(std::string_view name) const override;
    std::string pictureDecoderLabel(DecoderId id) const override;
    std::string archiveDecoderLabel(DecoderId id) const override;
    std::string pictureExtensions() const override;
    std::string archiveExtensions() const override;
    bool extensionListsOnly() const override;

private:
    std::vector<std::byte> memberHeader(DecoderId archiveDecoder, const std::string& archivePath,
                                        const ArchiveEntry& member) const;

    // Identification reorders the registry's lists, which is not a change
    // the scan can see; hence a mutable reference behind const queries.
    DecoderRegistry& m_registry;
};

} // namespace vemra
