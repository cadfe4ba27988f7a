#pragma once

#include "app/document_options.h"
#include "document/scan_services.h"
#include "imaging/plugin_module.h"

#include <string>
#include <vector>

namespace vemra::cli {

// The scan's questions answered by the plug-ins of one folder (picture
// plug-ins numbered 0..n-1 and archive plug-ins 0..m-1 in the order of their
// file names, asked first) and the built-in decoders that the document
// options' decoder switches leave on. Plug-in calls are not guarded against
// faults here, as in the other plug-in commands of this tool.
class CliScanServices final : public ScanServices {
public:
    CliScanServices(const DocumentOptions& options, const std::string& pluginDir);

    DecoderId identifyFile(const std::string& path) const override;
    DecoderId identifyMember(DecoderId archiveDecoder, const std::string& archivePath,
                             const ArchiveEntry& member) const override;
    DecoderId identifyArchive(const std::string& path) const override;
    ResultCode listArchive(DecoderId archiveDecoder, const std::string& path,
                           std::vector<ArchiveEntry>& members) const override;
    DecoderId pictureDecoderNamed(std::string_view name) const override;
    DecoderId archiveDecoderNamed(std::string_view name) const override;
    std::string pictureDecoderLabel(DecoderId id) const override;
    std::string pictureExtensions() const override;
    std::string archiveExtensions() const override;

private:
    DecoderId identifyHeader(const std::string& name, std::span<const std::byte> header) const;
    const PluginModule* archive(DecoderId id) const;

    std::vector<const BuiltinDecoder*> m_builtins; // the ones switched on, in identification order
    std::vector<PluginModule> m_pictures;
    std::vector<PluginModule> m_archives;
};

// The plug-in folder of the build this program belongs to.
std::string defaultPluginFolder();

} // namespace vemra::cli
