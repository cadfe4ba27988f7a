#pragma once

#include "document/sort_key.h"
#include "document/sort_row.h"

#include <span>
#include <vector>

namespace vemra {

class CKPDoc;
class DocumentView;
class ScanServices;

// The rows of the document's displayed entries, in display order.
std::vector<SortRow> displayedRows(CKPDoc& doc, const ScanServices& services);

// Writes the order of `rows` back into the document (row i becomes display
// position i) and lets the views other than `sender` redraw. False when the
// rows are not the document's displayed entries (a scan came in between).
bool copyOrderToDocument(CKPDoc& doc, std::span<const SortRow> rows, DocumentView* sender);

// Orders the displayed entries by `keysNewestFirst` (see sortRows) and
// copies the order into the document: what the details list does after a
// scan, for callers without one.
bool sortDocument(CKPDoc& doc, std::span<const SortKey> keysNewestFirst,
                  const ScanServices& services, DocumentView* sender);

} // namespace vemra
