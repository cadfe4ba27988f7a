#include "document/folder_document.h"

#include <algorithm>

namespace vemra {

bool FolderDocument::setDisplayOrder(std::span<const int> entryIndexes, DocumentView* sender) {
    if (entryIndexes.size() != m_displayOrder.size())
        return false;
    // Each displayed entry exactly once: a displayed entry left out would
    // vanish from view, and an undisplayed one (its walk interrupted) or a
    // repeated one would show where it does not belong.
    std::vector<signed char> unplaced(m_entries.size(), 0);
    for (const int index : m_displayOrder)
        unplaced[static_cast<std::size_t>(index)] = 1;
    for (const int index : entryIndexes) {
        if (index < 0 || index >= entryCount() || !unplaced[static_cast<std::size_t>(index)])
            return false;
        unplaced[static_cast<std::size_t>(index)] = 0;
    }

    const bool wasScanning = m_scanning;
    m_scanning = true; // views must not ask for entries while the order moves
    {
        std::lock_guard guard(m_lock);
        m_displayOrder.assign(entryIndexes.begin(), entryIndexes.end());
        if (m_focus >= 0) {
            const auto at = std::find(m_displayOrder.begin(), m_displayOrder.end(), m_focusIndex);
            m_focus = at == m_displayOrder.end()
                          ? -1
                          : static_cast<int>(std::distance(m_displayOrder.begin(), at));
        }
        // The hand-out cache is by position, and positions moved.
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    m_scanning = wasScanning;
    updateAllViews(sender, hint::RedrawAll{m_folder});
    return true;
}

} // namespace vemra
