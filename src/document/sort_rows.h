#pragma once

#include "document/sort_key.h"
#include "document/sort_row.h"

#include <span>
#include <vector>

namespace vemra {

// Orders `rows` by `keysNewestFirst`: the first key decides, each later one
// breaks the ties left by those before it, and rows equal under every key
// keep their present order. The result is the one that stable sorts by each
// key in turn, from the last to the first, give, in one pass.
//
// Texts compare by Japanese collation ignoring letter case; sizes, times and
// pixel values numerically; code 0 by entry index. Invalid keys are skipped.
void sortRows(std::vector<SortRow>& rows, std::span<const SortKey> keysNewestFirst);
inline void sortRows(std::vector<SortRow>& rows, SortKey key) {
    sortRows(rows, std::span<const SortKey>(&key, 1));
}

} // namespace vemra
