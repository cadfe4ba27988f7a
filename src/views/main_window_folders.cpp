#include "views/main_window.h"

#include "document/folder_document.h"
#include "framework/command_id.h"
#include "framework/folder_monitor.h"
#include "views/folder_tree.h"

namespace vemra {

// --- the folder menu, quick access and Alt+arrows: all act on the tree

std::optional<CommandState> MainWindow::folderCommandState(int id) const {
    switch (id) {
    case kCmdNewFolder:
    case kCmdRenameFolder:
    case kCmdDeleteFolder:
        // The tree refuses roots by itself, silently.
        return CommandState{m_tree != nullptr && !m_tree->selectedFolder().empty(), false};
    case kCmdFolderStepUp:
    case kCmdFolderStepDown:
    case kCmdFolderStepLeft:
    case kCmdFolderStepRight:
        return CommandState{};
    default:
        return std::nullopt;
    }
}

bool MainWindow::onFolderCommand(int id) {
    switch (id) {
    case kCmdNewFolder:
        m_document.updateAllViews(this, hint::CreateFolder{});
        return true;
    case kCmdRenameFolder:
        m_document.updateAllViews(this, hint::RenameFolder{});
        return true;
    case kCmdDeleteFolder:
        m_document.updateAllViews(this, hint::DeleteFolder{});
        return true;
    case kCmdFolderStepUp:
    case kCmdFolderStepDown:
    case kCmdFolderStepLeft:
    case kCmdFolderStepRight:
        m_document.updateAllViews(
            this, hint::FolderStep{static_cast<hint::Direction>(id - kCmdFolderStepUp)});
        return true;
    default:
        return false;
    }
}

void MainWindow::setFolderMonitor(bool on) {
    m_frameSettings.folderMonitor = on;
    followShownFolder();
}

void MainWindow::followShownFolder() {
    const std::string& folder = m_document.currentFolder();
    if (!m_frameSettings.folderMonitor || folder.empty()) {
        m_monitor->stop();
        return;
    }
    m_monitor->watch(folder, m_document.options().downScan);
}

} // namespace vemra
