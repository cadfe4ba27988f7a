#include "document/display_filter.h"
#include "document/folder_document.h"

namespace vemra {

bool FolderDocument::applyDisplayFilter(const DisplayFilter& filter) {
    const bool maskChanged = m_mask != filter.mask;
    const bool optionsChanged = filter.applyTo(m_options);
    m_mask = filter.mask;
    if (!maskChanged && !optionsChanged)
        return false;
    if (!m_folder.empty())
        refresh(true);
    return true;
}

} // namespace vemra
