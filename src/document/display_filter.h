#pragma once

#include "document/document_options.h"

#include <cstdint>
#include <string>

namespace vemra {

// What a folder scan is restricted by: name masks, a last-write date range
// and a file size range, each with its own switch. The document keeps these
// values in its options ("Filter" "FileName", "FileDate", "FileSize", the
// dates and sizes, and "KPDoc" "PathMask"); the scan applies them.
struct DisplayFilter {
    static constexpr int kCommand = 10113; // "表示フィルタ(&W)..."

    bool useMask = false;
    std::string mask = "*.*"; // masks separated by ";" (or ",")
    bool dateOn = false;
    std::int64_t dateFrom = 0; // seconds since 1970, both ends included
    std::int64_t dateTo = DocumentOptions::kLatestFileTime;
    bool sizeOn = false;
    std::int64_t sizeMinimum = 0; // bytes, both ends included
    std::int64_t sizeMaximum = 0;

    static DisplayFilter fromOptions(const DocumentOptions& options);
    // Copies the filter into `options`; true when any value changed.
    bool applyTo(DocumentOptions& options) const;

    // The menu item carries a check mark while any part is switched on.
    bool active() const { return useMask || dateOn || sizeOn; }

    friend bool operator==(const DisplayFilter&, const DisplayFilter&) = default;
};

} // namespace vemra
