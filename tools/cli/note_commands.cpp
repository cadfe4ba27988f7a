#include "note_commands.h"

#include "document/document_options.h"
#include "document/picture_notes.h"
#include "document/store_location.h"
#include "picture_commands.h"
#include "platform/profile_ini.h"
#include "settings/settings_store.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace vemra::cli {
namespace {

std::string centralFolder() {
    return DocumentOptions::load(settings()).centralCacheFolder();
}

std::string unescapeText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return out;
}

} // namespace

int runNotes(std::span<const std::string_view> args) {
    if (args.size() != 1 || args[0].starts_with("-")) {
        return usageError("notes: usage is notes FOLDER");
    }
    std::string folder(args[0]);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (!std::filesystem::is_directory(folder)) {
        reportFailure(folder, static_cast<int>(ResultCode::OpenFailure),
                      resultName(ResultCode::OpenFailure));
        return 1;
    }
    const auto file = findStoreFile(folder, centralFolder(), kNoteStore);
    if (!file) {
        return 0; // no note file: no notes
    }
    ProfileIni ini(*file);
    for (const std::string& section : ini.sectionNames()) {
        const auto colon = section.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        PictureSource entry;
        entry.folder = folder;
        entry.archiveFileName = section.substr(0, colon);
        entry.fileName = section.substr(colon + 1);
        loadNote(entry, centralFolder());
        if (!entry.note.empty()) {
            std::printf("%s\t%s\t%s\n", entry.archiveFileName.c_str(), entry.fileName.c_str(),
                        escapeText(entry.note).c_str());
        }
    }
    return 0;
}

int runNote(std::span<const std::string_view> args) {
    const bool set = args.size() == 3 && args[1] == "--set";
    const bool clear = args.size() == 2 && args[1] == "--clear";
    if (!set && !clear) {
        return usageError("note: usage is note FILE --set TEXT | note FILE --clear");
    }
    const std::filesystem::path path(args[0]);
    if (!std::filesystem::is_regular_file(path)) {
        reportFailure(path.string(), static_cast<int>(ResultCode::OpenFailure),
                      resultName(ResultCode::OpenFailure));
        return 1;
    }
    PictureSource entry;
    const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : ".";
    entry.folder = parent.string();
    entry.fileName = path.filename().string();
    entry.note = set ? unescapeText(args[2]) : std::string();
    if (!saveNote(entry, centralFolder())) {
        std::fprintf(stderr, "vemra-cli: %s: the note could not be written\n", path.c_str());
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
