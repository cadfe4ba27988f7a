#include "document/document_sort.h"

#include "document/folder_document.h"
#include "document/sort_rows.h"

namespace vemra {

std::vector<SortRow> displayedRows(FolderDocument& doc, const ScanServices& services) {
    std::vector<SortRow> rows;
    rows.reserve(static_cast<std::size_t>(doc.displayedCount()));
    for (int position = 0; position < doc.displayedCount(); ++position) {
        if (const PictureSource* entry = doc.entryAt(position))
            rows.push_back(makeSortRow(*entry, doc.entryIndexAt(position), services,
                                       doc.options().sortDateTaken));
    }
    return rows;
}

bool copyOrderToDocument(FolderDocument& doc, std::span<const SortRow> rows, DocumentView* sender) {
    std::vector<int> order;
    order.reserve(rows.size());
    for (const SortRow& row : rows)
        order.push_back(row.entryIndex);
    return doc.setDisplayOrder(order, sender);
}

bool sortDocument(FolderDocument& doc, std::span<const SortKey> keysNewestFirst,
                  const ScanServices& services, DocumentView* sender) {
    std::vector<SortRow> rows = displayedRows(doc, services);
    sortRows(rows, keysNewestFirst);
    return copyOrderToDocument(doc, rows, sender);
}

} // namespace vemra
