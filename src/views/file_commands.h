#pragma once

#include "framework/command_target.h"

#include <span>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

namespace vemra {

class DocumentView;
class FolderDocument;
class SettingsStore;

// The file commands of the browser with their dialogs, for any window that
// acts on entries of the document: the main window (on the selection) and
// the viewer (on its own picture, by display position). Each asks its
// dialog, runs the operation with the program's questions and progress,
// and returns the number of files done (0 also when cancelled).
//
// "複写(&C)..." (10005): CopyDialog, then copyEntries.
int runCopyCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                   std::span<const int> positions);
// "移動(&M)..." (10006): MoveDialog, then moveEntries (moved entries leave).
int runMoveCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                   std::span<const int> positions, DocumentView* sender);
// "削除(&D)..." (10007): to the trash or for good, as the options say.
int runDeleteCommand(QWidget* parent, FolderDocument& document, SettingsStore* settings,
                     std::span<const int> positions, DocumentView* sender);
// "解凍" (10085): FolderInputDialog "書庫解凍", then extractEntries; its
// result code (0 also when the dialog was cancelled).
int runExtractCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                      std::span<const int> positions);

// A drop or paste of files onto `destination` (the grid's, the details
// list's or a folder tree item's folder): copied, or moved when `move`,
// with the notes the data carries; the open folder is read again when
// anything arrived. Returns the number transferred.
int dropFiles(QWidget* parent, FolderDocument& document, SettingsStore* settings,
              const QMimeData& data, const std::string& destination, bool move);

// The same for a list of files already read from the data (the folder
// tree's drops onto one of its folders).
int dropPaths(QWidget* parent, FolderDocument& document, SettingsStore* settings,
              const std::vector<std::string>& paths, const std::string& destination, bool move);

// The drop action a drop of `data` gets: none without a file list (or
// while the target itself drags), move with Shift or DaDMOVE (unless Ctrl
// asks for a copy), else copy.
enum class DropKind { None, Copy, Move };
DropKind dropKindFor(const QMimeData& data, bool ctrl, bool shift, bool dadMove, bool ownDrag);

// The main window's handler of the file commands on the selected entries.
class FileCommands final : public CommandTarget {
public:
    FileCommands(QWidget* parent, FolderDocument& document, SettingsStore& settings);

    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

private:
    QWidget* m_parent;
    FolderDocument& m_document;
    SettingsStore& m_settings;
};

} // namespace vemra
