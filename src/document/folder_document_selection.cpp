#include "document/folder_document.h"

#include "document/thumb_cache.h"

#include <algorithm>

namespace vemra {

SelectionTally FolderDocument::setSelectedRange(int first, int last, bool selected) {
    SelectionTally tally;
    first = std::max(first, 0);
    last = std::min(last, displayedCount() - 1);
    for (int position = first; position <= last; ++position) {
        PictureSource& entry = *m_entries[static_cast<std::size_t>(
            m_displayOrder[static_cast<std::size_t>(position)])];
        if (entry.isSelected() == selected)
            continue;
        entry.state ^= PictureSource::kSelected;
        m_selectedCount += selected ? 1 : -1;
        tally.add(position, selected);
    }
    return tally;
}

SelectionTally FolderDocument::deselectAll(int except) {
    SelectionTally tally;
    const PictureSource* kept =
        except >= 0 && except < displayedCount()
            ? m_entries[static_cast<std::size_t>(entryIndexAt(except))].get()
            : nullptr;
    const int keep = kept != nullptr && kept->isSelected() ? 1 : 0;
    // The count says when the last selected entry was met, so a click after
    // selecting a few entries at the top does not walk the whole folder.
    for (int position = 0; position < displayedCount() && m_selectedCount > keep; ++position) {
        PictureSource& entry = *m_entries[static_cast<std::size_t>(
            m_displayOrder[static_cast<std::size_t>(position)])];
        if (!entry.isSelected() || &entry == kept)
            continue;
        entry.state &= ~PictureSource::kSelected;
        --m_selectedCount;
        tally.add(position, false);
    }
    return tally;
}

void FolderDocument::tellSelection(DocumentView* sender, const SelectionTally& tally) {
    if (const auto notice = tally.notice())
        updateAllViews(sender, *notice);
}

void FolderDocument::selectAll() {
    const SelectionTally tally =
        m_selectedCount > 1 ? deselectAll() : setSelectedRange(0, displayedCount() - 1, true);
    tellSelection(nullptr, tally);
}

// After removals the focused entry may stand higher up, or be gone; keys
// and Enter act on the focused position, so it follows its entry (nothing
// is focused once it went) rather than naming whatever moved into its place.
void FolderDocument::keepFocusOnItsEntry() {
    if (m_focus < 0 || (m_focus < displayedCount() && entryIndexAt(m_focus) == m_focusIndex))
        return;
    const auto found = std::find(m_displayOrder.begin(), m_displayOrder.end(), m_focusIndex);
    if (found != m_displayOrder.end()) {
        m_focus = static_cast<int>(found - m_displayOrder.begin());
        return;
    }
    if (m_focusIndex >= 0 && m_focusIndex < entryCount())
        m_entries[static_cast<std::size_t>(m_focusIndex)]->state &= ~PictureSource::kFocused;
    m_focus = -1;
    m_focusIndex = -1;
}

int FolderDocument::removeEntries(std::span<const int> positions, DocumentView* sender) {
    std::vector<char> goes(m_displayOrder.size(), 0);
    int count = 0;
    for (const int position : positions) {
        if (position < 0 || position >= displayedCount() ||
            goes[static_cast<std::size_t>(position)])
            continue;
        goes[static_cast<std::size_t>(position)] = 1;
        ++count;
    }
    if (count == 0)
        return 0;
    {
        std::lock_guard guard(m_lock);
        std::size_t kept = 0;
        for (std::size_t position = 0; position < m_displayOrder.size(); ++position) {
            const int index = m_displayOrder[position];
            if (!goes[position]) {
                m_displayOrder[kept++] = index;
                continue;
            }
            PictureSource& entry = *m_entries[static_cast<std::size_t>(index)];
            if (entry.isSelected())
                --m_selectedCount;
            if (m_entryRemoved)
                m_entryRemoved(entry);
            m_cache.remove(entry);
            // A thumbnail on its way for it is dropped when it comes.
            m_requested.erase(&entry);
        }
        m_displayOrder.resize(kept);
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    keepFocusOnItsEntry();
    for (int position = static_cast<int>(goes.size()) - 1; position >= 0; --position) {
        if (goes[static_cast<std::size_t>(position)])
            updateAllViews(sender, hint::EntryRemoved{position});
    }
    return count;
}

} // namespace vemra
