#pragma once

#include "document/sort_key.h"
#include "document/sort_row.h"

#include <span>
#include <vector>

namespace vemra {

class FolderDocument;
class DocumentView;
class ScanServices;

// The rows of the document's displayed entries, in display order.
std::vector<SortRow> displayedRows(FolderDocument& doc, const ScanServices& services);

// Writes the order of `rows` back into the document (row i becomes display
// position i) and lets the views other than `sender` redraw. False when the
// rows are not the document's displayed entries (a scan came in between).
bool copyOrderToDocument(FolderDocument& doc, std::span<const SortRow> rows, DocumentView* sender);

// Orders the displayed entries by `keysNewestFirst` (see sortRows) and
// copies the order into the document: what the details list does after a
// scan, for callers without one.
bool sortDocument(FolderDocument& doc, std::span<const SortKey> keysNewestFirst,
                  const ScanServices& services, DocumentView* sender);

} // namespace vemra
