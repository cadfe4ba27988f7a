#include "document/report_file.h"

#include "document/caption_macros.h"
#include "document/photo_facts.h"
#include "document/picture_notes.h"
#include "document/picture_source.h"
#include "document/scan_services.h"
#include "platform/atomic_file.h"

#include <filesystem>

namespace vemra {

ReportResult writeReportFile(const std::string& path, std::string_view format,
                             std::span<PictureSource* const> pictures,
                             std::string_view centralFolder, ProgressSink* progress) {
    ReportResult result;
    const std::string_view used = format.empty() ? kDefaultReportFormat : format;
    std::string text;
    if (progress != nullptr)
        progress->begin("レポートファイル作成中...", "", static_cast<int>(pictures.size()));
    for (PictureSource* entry : pictures) {
        loadNote(*entry, centralFolder);
        // Upright sizes and the date taken: one read of the metadata per
        // picture that has not been decoded yet.
        learnPhotoFacts(*entry, nullptr);
        if (progress != nullptr)
            progress->setMessage(entry->fileName);
        // Line breaks become CR LF, as in the rest of the file.
        const std::string line = expandCaption(used, *entry);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\r' || line[i] == '\n') {
                text += "\r\n";
                if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
                    ++i;
            } else {
                text += line[i];
            }
        }
        text += "\r\n";
        ++result.lines;
        if (progress != nullptr) {
            progress->advance();
            if (progress->cancelRequested()) {
                result.cancelled = true;
                break;
            }
        }
    }
    if (progress != nullptr)
        progress->end();
    AtomicFile file(path);
    result.ok = file.open() && file.write(std::as_bytes(std::span(text))) && file.commit();
    result.error = file.errorText();
    return result;
}

std::string withFilterExtension(std::string_view fileName, std::string_view pattern) {
    const std::string extension = std::filesystem::path(std::string(pattern)).extension().string();
    if (extension.empty() || extension.find_first_of("*?") != std::string::npos)
        return std::string(fileName);
    return std::filesystem::path(std::string(fileName)).replace_extension(extension).string();
}

} // namespace vemra
