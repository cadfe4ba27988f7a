#pragma once

#include "document/transfer_files.h"

#include <set>
#include <span>
#include <string>
#include <vector>

namespace vemra {

class DocumentView;
class FolderDocument;
struct ClipboardFiles;

// The file operations of the browser's commands, on entries of the folder
// document given by display position; every question goes through
// `questions`. These are the entry points of the views: the grid's and the
// viewer's copy, move and delete commands, and the drops and pastes of every
// view.

// The options of a transfer with the document's AutoFileFormat and note
// store.
TransferOptions transferOptionsOf(const FolderDocument& document, bool move, bool onlyExisting);

// "複写": copies the entries at `positions` into `destination`. Plain files
// go as they are; archive members are unpacked into a private work folder
// first (members that cannot be unpacked are left out) and the unpacked
// copies removed afterwards. Notes go along. The number transferred.
int copyEntries(FolderDocument& document, std::span<const int> positions,
                const std::string& destination, bool onlyExisting, TransferQuestions& questions);

// "移動": moves the plain files at `positions` (archive members cannot be
// moved) into `destination`; entries whose file went are removed from the
// document (EntryRemoved each, last to first, then RedrawAll). The number
// transferred.
int moveEntries(FolderDocument& document, std::span<const int> positions,
                const std::string& destination, bool onlyExisting, TransferQuestions& questions,
                DocumentView* sender);

// "削除": deletes the plain files at `positions` (never archive members):
// with TrashCan into the desktop's trash, else for good; unless DELQA the
// user is asked first. Deleted entries leave the document and their notes
// go. The number deleted.
int deleteEntries(FolderDocument& document, std::span<const int> positions,
                  TransferQuestions& questions, DocumentView* sender);

// A drop or paste of files (with their notes when the list carried them)
// into `destination`, copied or moved. When anything arrived in the open
// folder it is read again. The number transferred.
int transferDroppedFiles(FolderDocument& document, const ClipboardFiles& files,
                         const std::string& destination, bool move, TransferQuestions& questions);

// Removes every plain entry whose path is in `paths` and whose file no
// longer exists, from the last display position to the first, telling the
// views (EntryRemoved each, RedrawAll once when any went). The count.
int removeVanishedEntries(FolderDocument& document, const std::set<std::string>& paths,
                          DocumentView* sender);

// Moves a file into the desktop's trash (the freedesktop.org Trash, where
// file managers can restore it). Empty on success, else the reason;
// `inTrash` (may be null) receives where the file now lies.
std::string moveToTrash(const std::string& path, std::string* inTrash = nullptr);

} // namespace vemra
