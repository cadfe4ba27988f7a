#include "document/picture_notes.h"

#include "document/store_location.h"
#include "platform/profile_ini.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vemra {
namespace {

std::string_view folderOf(const PictureSource& entry, std::string_view folder) {
    return folder.empty() ? std::string_view(entry.folder) : folder;
}

bool isEmptyFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0;
}

} // namespace

std::string encodeNote(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "`n";
            ++i;
        } else if (c == '\r') {
            out += '\x04';
        } else if (c == '\n') {
            out += '\x05';
        } else {
            out += c;
        }
    }
    return out;
}

std::string decodeNote(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == '`' && i + 1 < stored.size() && stored[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else if (c == '\x04') {
            out += '\r';
        } else if (c == '\x05') {
            out += '\n';
        } else {
            out += c;
        }
    }
    return out;
}

std::string noteSection(const PictureSource& entry) {
    std::string section = entry.archiveFileName;
    section += ':';
    section += entry.fileName;
    return section;
}

void loadNote(PictureSource& entry, std::string_view centralFolder) {
    if (entry.noteLoaded) {
        return;
    }
    entry.noteLoaded = true;
    entry.note.clear();
    const auto file = findStoreFile(entry.folder, centralFolder, kNoteStore);
    if (!file) {
        return;
    }
    ProfileIni ini(*file);
    entry.note = decodeNote(ini.readText(noteSection(entry), kNoteKey, {}, kMaxNoteBytes));
}

bool saveNote(const PictureSource& entry, std::string_view centralFolder, std::string_view folder) {
    const std::string_view target = folderOf(entry, folder);
    if (entry.note.empty()) {
        deleteNote(entry, centralFolder, target);
        return true;
    }
    ProfileIni ini(locateStoreFile(target, centralFolder, kNoteStore));
    return ini.writeText(noteSection(entry), kNoteKey, encodeNote(entry.note));
}

void deleteNote(const PictureSource& entry, std::string_view centralFolder,
                std::string_view folder) {
    const auto file = findStoreFile(folderOf(entry, folder), centralFolder, kNoteStore);
    if (!file) {
        return;
    }
    {
        ProfileIni ini(*file);
        ini.deleteSection(noteSection(entry));
    }
    // A note file with no notes left has no reason to stay in the folder.
    if (isEmptyFile(*file)) {
        ::unlink(file->c_str());
    }
}

std::vector<std::byte> noteClipboardBytes(const std::vector<std::string>& notes) {
    std::vector<std::byte> out;
    for (const std::string& note : notes) {
        for (const char c : note) {
            out.push_back(static_cast<std::byte>(c));
        }
        out.push_back(std::byte{0});
    }
    out.push_back(std::byte{0});
    return out;
}

std::vector<std::string> parseNoteClipboard(std::span<const std::byte> bytes) {
    // The extra NUL that ends the list follows the NUL of the last note (or
    // stands alone in an empty list).
    std::span<const std::byte> data = bytes;
    if (!data.empty() && data.back() == std::byte{0} &&
        (data.size() == 1 || data[data.size() - 2] == std::byte{0})) {
        data = data.first(data.size() - 1);
    }
    std::vector<std::string> notes;
    std::string current;
    for (const std::byte b : data) {
        if (b == std::byte{0}) {
            notes.push_back(std::move(current));
            current.clear();
        } else {
            current += static_cast<char>(b);
        }
    }
    return notes; // a note cut off without its NUL is not taken
}

} // namespace vemra
