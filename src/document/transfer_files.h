#pragma once

#include "document/note_changes.h"
#include "document/same_name_rule.h"
#include "document/transfer_questions.h"

#include <optional>
#include <string>
#include <vector>

namespace vemra {

// One source of a copy or move.
struct TransferRecord {
    std::string source; // a file or a folder
    // The picture's note, stored under the target's name at the destination
    // (an empty note removes one standing there). Unknown (nullopt), it is
    // read from the note file of the source's own folder: files dropped in
    // by other programs keep their notes too.
    std::optional<std::string> note;
    std::string targetName; // empty: the source's own name
};

// The choices of one copy or move.
struct TransferOptions {
    bool onlyExisting = false; // copy only files whose target exists already
    bool move = false;
    bool applyToAll = false; // set once "以降全て(&A)" was ticked
    SameNameAction action = SameNameAction::NewerOnly;
    std::string autoFileFormat = "%s-%d%s"; // Filer AutoFileFormat
    std::string centralFolder;              // of the note files (CacheDataFolder)
};

// Copies or moves files and whole folders into a destination folder. It
// asks through `questions` when a target exists, when the destination is
// missing and when the system refuses a file, shows progress there, and
// carries each file's note along. No file is ever lost: a copy appears
// under its name only when complete and on the disk, and a move across file
// systems removes its source only after that. The notes of one
// transferFiles() are written once per note file when it ends, however it
// ends.
class FileTransfer {
public:
    FileTransfer(TransferOptions options, TransferQuestions& questions);

    // Transfers every record into `destination` (made absolute; created
    // after asking when missing). A folder that would go into itself is
    // passed over. The number of files and folders transferred; 0 when
    // nothing was done.
    int transferFiles(const std::string& destination, const std::vector<TransferRecord>& list);
    // One file to `target`: 1 transferred, 0 skipped (or failed and the
    // user went on), -1 abort everything. `finalTarget` receives the name
    // it was given (another one after Rename or AutoNumber).
    int transferFile(const std::string& source, const std::string& target,
                     std::string* finalTarget = nullptr);
    // A folder's files and sub-folders into `target` (made when missing);
    // when moving, the emptied source folder goes. The number transferred,
    // -1 abort.
    int transferFolder(const std::string& source, const std::string& target);

    const TransferOptions& options() const { return m_options; }
    // The note changes of this transfer; callers read the notes of what
    // they hand over through it, so each note file is read once.
    NoteChanges& notes() { return m_notes; }

private:
    int transferFolderAt(const std::string& source, const std::string& target, int depth);
    void carryNote(const std::string& source, const std::string& target, const std::string& note);

    TransferOptions m_options;
    TransferQuestions& m_questions;
    NoteChanges m_notes;
};

// The folder `path` made absolute (against the current folder) and
// normalised, without a trailing "/"; nothing when that is impossible.
std::optional<std::string> absoluteFolder(const std::string& path);

// A destination a user typed: a relative one is taken against `current`
// (the document's folder), then made absolute as absoluteFolder does.
std::optional<std::string> typedFolder(const std::string& typed, const std::string& current);

// True when `inner` is `outer` or lies below it (whole path components:
// "/a/bc" is not inside "/a/b"), after links are resolved.
bool isInsideFolder(const std::string& inner, const std::string& outer);

// The note of the plain file `path` as its folder's note file holds it.
std::string noteOfFile(const std::string& path, const std::string& centralFolder);

// folder + "/" + name (no doubled "/" after the root).
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace vemra
