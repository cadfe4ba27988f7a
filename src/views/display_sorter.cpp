#include "views/display_sorter.h"

#include "document/document_sort.h"
#include "document/folder_document.h"
#include "framework/update_hint.h"

namespace vemra {

DisplaySorter::DisplaySorter(FolderDocument& document, SettingsStore& settings)
    : m_document(document), m_settings(settings), m_state(SortState::load(settings)) {
    document.addView(this);
}

DisplaySorter::~DisplaySorter() {
    if (document() != nullptr)
        document()->removeView(this);
}

void DisplaySorter::onUpdate(DocumentView*, const UpdateHint& update) {
    // A fresh scan lists entries in folder order; the history puts them back
    // in the order the user last chose.
    visitHint(update, [this](const hint::ScanFinished&) { order(m_state.reapply()); });
}

std::optional<CommandState> DisplaySorter::commandState(int id) const {
    if (!SortState::handlesCommand(id))
        return std::nullopt;
    return CommandState{m_state.commandEnabled(id), m_state.commandChecked(id)};
}

bool DisplaySorter::onCommand(int id) {
    if (!SortState::handlesCommand(id))
        return false;
    const std::vector<SortKey> keys = m_state.applyCommand(id);
    m_state.save(m_settings);
    order(keys);
    return true;
}

void DisplaySorter::order(std::span<const SortKey> keysNewestFirst) {
    if (keysNewestFirst.empty() || m_document.displayedCount() < 2)
        return;
    sortDocument(m_document, keysNewestFirst, m_document.services(), this);
}

} // namespace vemra
