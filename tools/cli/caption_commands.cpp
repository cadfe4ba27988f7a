#include "caption_commands.h"

#include "document/caption_macros.h"
#include "document/document_options.h"
#include "document/picture_notes.h"
#include "document/registry_scan_services.h"
#include "picture_commands.h"
#include "platform/file_status.h"
#include "platform/text_encoding.h"
#include "registry_cli.h"
#include "settings/settings_store.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vemra::cli {
namespace {

struct CaptionArguments {
    std::string file;
    std::optional<std::string> member;
    std::vector<std::string_view> formats;
};

std::optional<CaptionArguments> parse(std::span<const std::string_view> args) {
    CaptionArguments a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--member" && i + 1 < args.size() && !a.member) {
            a.member = std::string(args[++i]);
        } else if (a.file.empty()) {
            a.file = std::string(args[i]);
        } else {
            a.formats.push_back(args[i]);
        }
    }
    if (a.file.empty() || a.formats.empty()) {
        return std::nullopt;
    }
    return a;
}

// Width, height, depth and information text from the entry's decoder.
void measure(DecoderRegistry& registry, PictureSource& entry, const PluginSource& source) {
    if (entry.decoder == kTextDecoderId) {
        ensureGuiApplication();
    }
    PluginPictureInfo info;
    if (entry.decoder >= 0 && registry.info(entry.decoder, source, info) == 0) {
        entry.pictureWidth = info.width;
        entry.pictureHeight = info.height;
        entry.bitCount = info.bitCount;
        entry.infoText = info.comment;
    }
}

// Fills the member entry named `name` of the archive `path`; false after a
// message.
bool describeMember(DecoderRegistry& registry, const std::string& path, const std::string& name,
                    PictureSource& entry) {
    const RegistryScanServices services(registry);
    const DecoderId archive = services.identifyArchive(path);
    if (archive < 0) {
        std::fprintf(stderr, "vemra-cli: %s: no archive plug-in in use takes this file\n",
                     path.c_str());
        return false;
    }
    std::vector<ArchiveEntry> members;
    services.listArchive(archive, path, members);
    const ArchiveEntry* found = nullptr;
    for (const ArchiveEntry& m : members) {
        // The bare member name, or its path inside the archive.
        std::string full = entryPath(m);
        if (!full.empty() && full.back() != '/') {
            full += '/';
        }
        full += entryFileName(m);
        if (entryFileName(m) == name || full == name) {
            found = &m;
            break;
        }
    }
    if (found == nullptr) {
        std::fprintf(stderr, "vemra-cli: %s: no member %s\n", path.c_str(), name.c_str());
        return false;
    }
    entry.fileName = entryFileName(*found);
    entry.length = found->filesize;
    entry.creationTime = found->timestamp;
    entry.lastWriteTime = found->timestamp;
    entry.archiveDecoder = archive;
    entry.memberPosition = static_cast<int>(found->position);
    entry.decoder = services.identifyMember(archive, path, *found);
    SpiBlock bytes;
    if (entry.decoder >= 0 &&
        registry.archiveFileToMemory(archive, path, found->position, bytes) == 0) {
        measure(registry, entry, PluginSource::memory(bytes.bytes()));
    }
    return true;
}

} // namespace

bool describeFileNames(const std::string& file, PictureSource& entry) {
    const auto status = fileStatus(file);
    if (!status || !status->isFile) {
        reportFailure(file, static_cast<int>(ResultCode::OpenFailure),
                      resultName(ResultCode::OpenFailure));
        return false;
    }
    // The browser always works with whole paths.
    const std::filesystem::path path =
        std::filesystem::absolute(std::filesystem::path(file)).lexically_normal();
    entry.folder = path.parent_path().string();
    entry.fileName = path.filename().string();
    entry.length = status->size;
    entry.creationTime = status->creationTime;
    entry.lastWriteTime = status->lastWriteTime;
    return true;
}

bool describeFile(DecoderRegistry& registry, const std::string& file, PictureSource& entry) {
    if (!describeFileNames(file, entry))
        return false;
    const std::string path = entry.fullPath();
    const RegistryScanServices services(registry);
    entry.decoder = services.identifyFile(path);
    measure(registry, entry, PluginSource::file(path));
    return true;
}

int runCaption(std::span<const std::string_view> args) {
    const auto a = parse(args);
    if (!a) {
        return usageError("caption: usage is caption FILE [--member NAME] FORMAT...");
    }
    const auto registry = openRegistry();
    PictureSource entry;
    if (a->member) {
        const auto status = fileStatus(a->file);
        if (!status || !status->isFile) {
            reportFailure(a->file, static_cast<int>(ResultCode::OpenFailure),
                          resultName(ResultCode::OpenFailure));
            return 1;
        }
        const std::filesystem::path path =
            std::filesystem::absolute(std::filesystem::path(a->file)).lexically_normal();
        entry.folder = path.parent_path().string();
        entry.archiveFileName = path.filename().string();
        if (!describeMember(*registry, path.string(), *a->member, entry)) {
            return 1;
        }
    } else if (!describeFile(*registry, a->file, entry)) {
        return 1;
    }
    loadNote(entry, DocumentOptions::load(settings()).centralCacheFolder());
    for (const std::string_view format : a->formats) {
        std::string line = expandCaption(format, entry);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

} // namespace vemra::cli
