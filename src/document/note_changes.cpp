#include "document/note_changes.h"

#include "document/picture_notes.h"
#include "document/picture_source.h"
#include "document/store_location.h"
#include "platform/path_parts.h"
#include "platform/profile_ini.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>

namespace vemra {
namespace {

// While an operation runs, what it changed reaches the disk at least this
// often: a crash part-way then loses little, and each writing costs no more
// than a small share of the time between two.
constexpr auto kWriteInterval = std::chrono::seconds(2);

bool isEmptyFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Sections are found ignoring ASCII case, as the ini functions do.
bool sameSection(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

} // namespace

NotePlace notePlaceOf(const PictureSource& entry) {
    return {entry.folder, noteSection(entry)};
}

NotePlace notePlaceOfFile(const std::string& path) {
    return {folderPartOf(path), ":" + namePartOf(path)};
}

struct NoteChanges::NoteFile {
    explicit NoteFile(std::string path) : ini(std::move(path)) {}

    // Changes stay in memory while the batch is open.
    void hold() {
        if (!batch)
            batch = std::make_unique<ProfileIni::Batch>(ini);
    }

    ProfileIni ini;
    std::unique_ptr<ProfileIni::Batch> batch;
    bool changed = false;
    // Notes carried here from other note files since this one was written:
    // should writing fail, they go back where they came from.
    std::vector<Carried> carriedIn;
};

NoteChanges::NoteChanges(std::string centralFolder)
    : m_centralFolder(std::move(centralFolder)), m_lastWrite(std::chrono::steady_clock::now()) {}

NoteChanges::~NoteChanges() {
    try {
        write();
    } catch (...) {
        // Out of memory while writing: the files keep what they held.
    }
}

NoteChanges::NoteFile* NoteChanges::fileOf(const std::string& folder, bool create) {
    const auto known = m_folders.find(folder);
    if (known != m_folders.end() && (known->second != nullptr || !create))
        return known->second;
    const std::optional<std::string> path =
        create ? std::optional<std::string>(locateStoreFile(folder, m_centralFolder, kNoteStore))
               : findStoreFile(folder, m_centralFolder, kNoteStore);
    if (!path || path->empty()) {
        m_folders[folder] = nullptr;
        return nullptr;
    }
    std::error_code error;
    std::string key = std::filesystem::weakly_canonical(*path, error).string();
    if (error || key.empty())
        key = *path;
    std::unique_ptr<NoteFile>& slot = m_files[key];
    if (!slot)
        slot = std::make_unique<NoteFile>(*path);
    m_folders[folder] = slot.get();
    return slot.get();
}

std::string NoteChanges::noteOf(const NotePlace& place) {
    NoteFile* file = fileOf(place.folder, false);
    if (file == nullptr)
        return {};
    return decodeNote(file->ini.readText(place.section, kNoteKey, {}, kMaxNoteBytes));
}

bool NoteChanges::setNote(const NotePlace& place, std::string_view note) {
    if (note.empty()) {
        removeNote(place);
        return true;
    }
    NoteFile* file = fileOf(place.folder, true);
    if (file == nullptr)
        return false;
    file->hold();
    const bool stored = file->ini.writeText(place.section, kNoteKey, encodeNote(note));
    file->changed = file->changed || stored;
    writeWhenDue();
    return stored;
}

void NoteChanges::removeNote(const NotePlace& place) {
    NoteFile* file = fileOf(place.folder, false);
    if (file == nullptr)
        return;
    file->hold();
    file->changed = file->ini.deleteSection(place.section) || file->changed;
    writeWhenDue();
}

void NoteChanges::carryNote(const NotePlace& from, const NotePlace& to, std::string_view note) {
    if (note.empty()) {
        removeNote(to);
        if (fileOf(from.folder, false) != fileOf(to.folder, false) ||
            !sameSection(from.section, to.section))
            removeNote(from);
        return;
    }
    NoteFile* target = fileOf(to.folder, true);
    if (target == nullptr)
        return; // no note file to be had there: the note stays where it was
    const std::string stored = encodeNote(note);
    target->hold();
    if (!target->ini.writeText(to.section, kNoteKey, stored))
        return;
    target->changed = true;
    NoteFile* source = fileOf(from.folder, false);
    if (source == nullptr || (source == target && sameSection(from.section, to.section))) {
        writeWhenDue();
        return;
    }
    source->hold();
    source->changed = source->ini.deleteSection(from.section) || source->changed;
    if (source != target)
        target->carriedIn.push_back({source, from.section, stored});
    writeWhenDue();
}

bool NoteChanges::writeFile(NoteFile& file) {
    file.changed = false;
    if (!file.batch)
        return true;
    const bool written = file.batch->commit();
    file.batch.reset();
    // A note file with no notes left has no reason to stay.
    if (written && isEmptyFile(file.ini.path()))
        ::unlink(file.ini.path().c_str());
    return written;
}

bool NoteChanges::write() {
    bool written = true;
    // Notes reach their new place on the disk before they leave the old one.
    for (auto& [path, file] : m_files) {
        if (file->carriedIn.empty())
            continue;
        if (!writeFile(*file)) {
            written = false;
            for (const Carried& carried : file->carriedIn) {
                carried.source->hold();
                if (carried.source->ini.writeText(carried.section, kNoteKey, carried.note))
                    carried.source->changed = true;
            }
        }
        file->carriedIn.clear();
    }
    for (auto& [path, file] : m_files) {
        if (file->changed || file->batch)
            written = writeFile(*file) && written;
    }
    m_lastWrite = std::chrono::steady_clock::now();
    return written;
}

void NoteChanges::writeWhenDue() {
    if (std::chrono::steady_clock::now() - m_lastWrite >= kWriteInterval)
        write();
}

} // namespace vemra
