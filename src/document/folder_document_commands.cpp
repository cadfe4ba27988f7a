#include "document/folder_document.h"

namespace vemra {

std::optional<FolderDocument::CommandState> FolderDocument::commandState(int id) const {
    switch (id) {
    case kCmdArchive:
        return CommandState{true, m_options.archive};
    case kCmdDownScan:
        return CommandState{true, m_options.downScan};
    case kCmdSynchronous:
        return CommandState{true, m_options.synchronous};
    case kCmdSelectAll:
    case kCmdRemakeThumbnails:
    case kCmdSaveThumbnails:
        return CommandState{displayedCount() > 0, false};
    case kCmdRefresh:
        return CommandState{};
    case kCmdHistoryBack:
        return CommandState{canGoBack(), false};
    case kCmdHistoryForward:
        return CommandState{canGoForward(), false};
    default:
        return std::nullopt;
    }
}

bool FolderDocument::onCommand(int id) {
    const auto state = commandState(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true; // handled: a disabled command does nothing
    switch (id) {
    case kCmdArchive:
        m_options.archive = !m_options.archive;
        refresh(true);
        break;
    case kCmdDownScan:
        m_options.downScan = !m_options.downScan;
        refresh(true);
        break;
    case kCmdSynchronous:
        m_options.synchronous = !m_options.synchronous;
        break;
    case kCmdSelectAll:
        selectAll();
        break;
    case kCmdRefresh:
        refresh(true);
        break;
    case kCmdRemakeThumbnails:
        remakeThumbnails();
        break;
    case kCmdSaveThumbnails:
        saveThumbnails(m_progress);
        break;
    case kCmdHistoryBack:
        historyBack();
        break;
    case kCmdHistoryForward:
        historyForward();
        break;
    }
    return true;
}

} // namespace vemra
