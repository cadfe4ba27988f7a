#include "views/file_commands.h"

#include "document/archive_extraction.h"
#include "document/file_operations.h"
#include "document/folder_document.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/wait_cursor.h"
#include "platform/own_file_operations.h"
#include "views/app_register_dialog.h"
#include "views/destination_dialog.h"
#include "views/dialog_transfer_questions.h"
#include "views/folder_input_dialog.h"
#include "views/note_dialog.h"
#include "views/rename_dialogs.h"
#include "views/save_format_dialog.h"

#include <QMimeData>

namespace vemra {

int runCopyCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                   std::span<const int> positions) {
    CopyDialog dialog(parent, settings, document.currentFolder());
    const auto choice = dialog.ask();
    if (!choice)
        return 0;
    DialogTransferQuestions questions(parent, document, &settings);
    // The folder monitor leaves changes made here to the operation itself.
    const OwnFileOperation own;
    return copyEntries(document, positions, choice->destination, choice->onlyExisting, questions);
}

int runMoveCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                   std::span<const int> positions, DocumentView* sender) {
    MoveDialog dialog(parent, settings, document.currentFolder());
    const auto choice = dialog.ask();
    if (!choice)
        return 0;
    DialogTransferQuestions questions(parent, document, &settings);
    // The folder monitor leaves changes made here to the operation itself.
    const OwnFileOperation own;
    return moveEntries(document, positions, choice->destination, choice->onlyExisting, questions,
                       sender);
}

int runDeleteCommand(QWidget* parent, FolderDocument& document, SettingsStore* settings,
                     std::span<const int> positions, DocumentView* sender) {
    DialogTransferQuestions questions(parent, document, settings);
    // The folder monitor leaves changes made here to the operation itself.
    const OwnFileOperation own;
    return deleteEntries(document, positions, questions, sender);
}

int runExtractCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                      std::span<const int> positions) {
    FolderInputDialog dialog(parent, settings, QStringLiteral("書庫解凍"),
                             QStringLiteral("解凍先フォルダを入力してください"),
                             document.currentFolder());
    const auto folder = dialog.ask();
    if (!folder)
        return 0;
    DialogTransferQuestions questions(parent, document, &settings);
    // The folder monitor leaves changes made here to the operation itself.
    const OwnFileOperation own;
    WaitCursor busy;
    const int result = extractEntries(document, positions, *folder, questions);
    if (*folder == document.currentFolder())
        document.refresh(false);
    return result;
}

int dropFiles(QWidget* parent, FolderDocument& document, SettingsStore* settings,
              const QMimeData& data, const std::string& destination, bool move) {
    // Read at once: the data object belongs to the drag or the clipboard,
    // which may change while the questions run their event loops.
    const ClipboardFiles files = readClipboardFiles(data);
    if (files.paths.empty())
        return 0;
    DialogTransferQuestions questions(parent, document, settings);
    // The folder monitor leaves changes made here to the operation itself.
    const OwnFileOperation own;
    return transferDroppedFiles(document, files, destination, move, questions);
}

int dropPaths(QWidget* parent, FolderDocument& document, SettingsStore* settings,
              const std::vector<std::string>& paths, const std::string& destination, bool move) {
    if (paths.empty())
        return 0;
    ClipboardFiles files;
    files.paths = paths;
    DialogTransferQuestions questions(parent, document, settings);
    const OwnFileOperation own;
    return transferDroppedFiles(document, files, destination, move, questions);
}

DropKind dropKindFor(const QMimeData& data, bool ctrl, bool shift, bool dadMove, bool ownDrag) {
    if (ownDrag || !holdsFileList(data))
        return DropKind::None;
    if (ctrl)
        return DropKind::Copy;
    return shift || dadMove ? DropKind::Move : DropKind::Copy;
}

FileCommands::FileCommands(QWidget* parent, FolderDocument& document, SettingsStore& settings)
    : m_parent(parent), m_document(document), m_settings(settings) {}

std::optional<CommandState> FileCommands::commandState(int id) const {
    switch (id) {
    case kCmdCopyFiles:
    case kCmdMoveFiles:
    case kCmdDeleteFiles:
    case kCmdExtract:
    case kCmdNote:
    case kCmdRename:
    case kCmdSerialRename:
    case kCmdSaveInFormat:
        return CommandState{m_document.selectedCount(false) > 0 && !m_document.isScanning(), false};
    case kCmdRegisterApps:
        return CommandState{};
    default:
        break;
    }
    if (commandInRange(id, kCmdExternalAppFirst, kCmdExternalAppLast))
        return CommandState{!m_document.isScanning(), false};
    return std::nullopt;
}

bool FileCommands::onCommand(int id) {
    const auto state = commandState(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    const std::vector<int> positions = selectedPositions(m_document);
    switch (id) {
    case kCmdCopyFiles:
        runCopyCommand(m_parent, m_document, m_settings, positions);
        break;
    case kCmdMoveFiles:
        runMoveCommand(m_parent, m_document, m_settings, positions, nullptr);
        break;
    case kCmdDeleteFiles:
        runDeleteCommand(m_parent, m_document, &m_settings, positions, nullptr);
        break;
    case kCmdExtract:
        runExtractCommand(m_parent, m_document, m_settings, positions);
        break;
    case kCmdNote:
        runNoteCommand(m_parent, m_document, positions, nullptr);
        break;
    case kCmdRename:
        runRenameCommand(m_parent, m_document, positions, nullptr);
        break;
    case kCmdSerialRename:
        runSerialRenameCommand(m_parent, m_document, m_settings, positions, nullptr);
        break;
    case kCmdSaveInFormat:
        runSaveInFormatCommand(m_parent, m_document, m_settings, positions);
        break;
    case kCmdRegisterApps: {
        AppRegisterDialog dialog(m_parent, m_settings);
        dialog.exec();
        break;
    }
    default:
        if (commandInRange(id, kCmdExternalAppFirst, kCmdExternalAppLast))
            runExternalApp(m_parent, m_document, m_settings, id - kCmdExternalAppFirst, positions);
        break;
    }
    return true;
}

} // namespace vemra
