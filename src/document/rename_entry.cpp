#include "document/rename_entry.h"

#include "document/folder_document.h"
#include "document/note_changes.h"
#include "document/picture_notes.h"
#include "document/thumb_cache.h"
#include "document/transfer_files.h"
#include "platform/ascii_case.h"
#include "platform/file_rename.h"
#include "platform/file_status.h"

#include <algorithm>

namespace vemra {
namespace {

constexpr std::size_t kMaxFileNameBytes = 255;

} // namespace

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= kMaxFileNameBytes &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

int renamePictureFile(PictureSource& entry, const std::string& newName,
                      const std::string& centralFolder) {
    NoteChanges notes(centralFolder);
    const int result = renamePictureFile(entry, newName, notes);
    notes.write();
    return result;
}

int renamePictureFile(PictureSource& entry, const std::string& newName, NoteChanges& notes) {
    if (entry.isArchiveMember())
        return -1;
    const std::string oldPath = entry.fullPath();
    if (!isExistingFile(oldPath) || !isPlainFileName(newName))
        return -1;
    const std::string newPath = joinPath(entry.folder, newName);
    // Letter case alone is no new name: users of the Windows program knew
    // that such a rename is refused, and a picture set shared with it must
    // not end up with two names that are one there.
    if (equalIgnoringCase(oldPath, newPath))
        return -1;
    if (!entry.noteLoaded) {
        entry.note = notes.noteOf(notePlaceOf(entry));
        entry.noteLoaded = true;
    }
    if (renameWithoutReplacing(oldPath, newPath))
        return -1;
    const NotePlace before = notePlaceOf(entry);
    entry.fileName = newName;
    if (!entry.note.empty())
        notes.carryNote(before, notePlaceOf(entry), entry.note);
    return 0;
}

int renameEntry(FolderDocument& document, int position, const std::string& newName) {
    NoteChanges notes(document.options().centralCacheFolder());
    const int result = renameEntry(document, position, newName, notes);
    notes.write();
    return result;
}

int renameEntry(FolderDocument& document, int position, const std::string& newName,
                NoteChanges& notes) {
    PictureSource* entry = document.entryAt(position);
    if (entry == nullptr)
        return -1;
    PictureSource before;
    before.folder = entry->folder;
    before.fileName = entry->fileName;
    if (renamePictureFile(*entry, newName, notes) != 0)
        return -1;
    document.dropThumbnailRequest(position);
    // The record under the old name is of no use; the entry keeps its
    // thumbnail and may store it again under the new name.
    document.thumbCache().remove(before);
    entry->cached = false;
    return 0;
}

} // namespace vemra
