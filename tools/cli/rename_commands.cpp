#include "rename_commands.h"

#include "caption_commands.h"
#include "document/document_options.h"
#include "document/note_changes.h"
#include "document/picture_notes.h"
#include "document/picture_source.h"
#include "document/rename_entry.h"
#include "document/serial_rename.h"
#include "picture_commands.h"
#include "platform/file_status.h"
#include "registry_cli.h"
#include "settings/settings_store.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

namespace vemra::cli {

int runRename(std::span<const std::string_view> args) {
    if (args.size() != 2 || args[0].starts_with("-"))
        return usageError("rename: usage is rename FILE NEWNAME");
    PictureSource entry;
    if (!describeFileNames(std::string(args[0]), entry))
        return 1;
    const std::string central = DocumentOptions::load(settings()).centralCacheFolder();
    const std::string oldName = entry.fileName;
    const std::string newName(args[1]);
    if (renamePictureFile(entry, newName, central) != 0) {
        std::printf("%s -> %s :failed rename\n", escapeText(oldName).c_str(),
                    escapeText(newName).c_str());
        return 1;
    }
    std::printf("renamed\t%s\t%s\n", escapeText(oldName).c_str(), escapeText(newName).c_str());
    return 0;
}

int runSerialRename(std::span<const std::string_view> args) {
    constexpr std::string_view usage = "serial-rename: usage is serial-rename FILE... --format FMT "
                                       "[--first N]";
    std::vector<std::string> files;
    std::optional<std::string> format;
    int first = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--format" && i + 1 < args.size()) {
            format = std::string(args[++i]);
        } else if (args[i] == "--first" && i + 1 < args.size()) {
            const std::string_view value = args[++i];
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), first);
            if (error != std::errc() || end != value.data() + value.size() || first < 0 ||
                first > 10000)
                return usageError("serial-rename: --first takes a number from 0 to 10000");
        } else if (args[i].starts_with("-")) {
            return usageError(usage);
        } else {
            files.emplace_back(args[i]);
        }
    }
    if (files.empty() || !format || format->empty())
        return usageError(usage);
    if (!isSerialRenameFormatValid(*format)) {
        std::fprintf(stderr, "vemra-cli: 連番ファイル名形式が正しくありません\n");
        return 2;
    }
    // The caption macros may ask for sizes and information texts.
    const bool needsPictures = format->find("$(") != std::string::npos;
    const auto registry = needsPictures ? openRegistry() : nullptr;
    // The notes move in memory and each note file is written once.
    NoteChanges notes(DocumentOptions::load(settings()).centralCacheFolder());
    SerialNamer namer(*format, first);
    int status = 0;
    for (const std::string& file : files) {
        PictureSource entry;
        const bool described =
            registry ? describeFile(*registry, file, entry) : describeFileNames(file, entry);
        if (!described) {
            status = 1;
            continue;
        }
        entry.note = notes.noteOf(notePlaceOf(entry));
        entry.noteLoaded = true;
        const std::string oldName = entry.fileName;
        const std::string newName = namer.nameFor(entry);
        if (renamePictureFile(entry, newName, notes) != 0) {
            std::printf("%s -> %s :failed rename\n", escapeText(oldName).c_str(),
                        escapeText(newName).c_str());
            status = 1;
            continue;
        }
        std::printf("renamed\t%s\t%s\n", escapeText(oldName).c_str(), escapeText(newName).c_str());
    }
    notes.write();
    return status;
}

} // namespace vemra::cli
