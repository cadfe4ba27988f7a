#pragma once

#include <string>
#include <string_view>

namespace vemra {

class FolderDocument;
class NoteChanges;
class PictureSource;

// Whether `name` can stand as a file name in a folder: not empty, not "."
// or "..", no "/" or NUL byte, at most 255 bytes. Anything else could
// reach outside the entry's folder, so it is refused before the system is
// asked.
bool isPlainFileName(std::string_view name);

// Renames the plain file of `entry` to `newName` in its own folder, with
// the rules below, and moves its note (in the note store of its folder or
// of `centralFolder`) along. 0 on success, -1 on failure. On success the
// entry carries the new name.
int renamePictureFile(PictureSource& entry, const std::string& newName,
                      const std::string& centralFolder);
// The same within an operation on many files: the note moves in `notes`,
// written when the operation ends.
int renamePictureFile(PictureSource& entry, const std::string& newName, NoteChanges& notes);

// Renames the plain file shown at display `position` to `newName` in its
// own folder. 0 on success, -1 on failure: an archive member, a file that
// is gone, a name that is not a plain file name, a name that differs from
// the present one by letter case alone (or not at all), a name another
// file already has (never replaced), or a rename the system refuses.
//
// On success the entry's thumbnail-cache record under the old name is
// dropped (the entry keeps the thumbnail it has), an unfinished thumbnail
// decode of the entry stops, and its note moves to the new name. The views
// are not told: the caller sends RedrawEntry.
int renameEntry(FolderDocument& document, int position, const std::string& newName);
// The same within an operation on many files (a serial rename): the note
// moves in `notes`.
int renameEntry(FolderDocument& document, int position, const std::string& newName,
                NoteChanges& notes);

} // namespace vemra
