#include "document/sort_rows.h"

#include "document/collation_keys.h"

#include <algorithm>
#include <array>
#include <compare>
#include <numeric>

namespace vemra {
namespace {

bool isTextColumn(int column) {
    return column != kSortBySize && column != kSortByDate && column != kSortByPixels;
}

int sign(std::strong_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::int64_t pixelValue(const SortRow& row, int code) {
    switch ((code + 1) / 2) {
    case 1:
        return row.width;
    case 2:
        return row.height;
    case 3:
        return row.bitCount;
    default:
        return static_cast<std::int64_t>(row.width) * row.height;
    }
}

class RowComparison {
public:
    RowComparison(const std::vector<SortRow>& rows, std::span<const SortKey> keys) : m_rows(rows) {
        for (const SortKey& key : keys) {
            if (!key.isValid())
                continue;
            m_keys.push_back(key);
            if (key.code == 0)
                break; // the scan order is total: later keys never decide
        }
        // Collation keys once per row instead of a collation per comparison.
        // Names are Japanese more often than not; one fixed collation also
        // keeps the order the same whatever locale the program runs in.
        std::vector<std::string_view> texts;
        for (const SortKey& key : m_keys) {
            auto& keys = m_texts[static_cast<std::size_t>(key.column)];
            if (key.code == 0 || !isTextColumn(key.column) || keys.size() == rows.size())
                continue;
            texts.clear();
            texts.reserve(rows.size());
            for (const SortRow& row : rows)
                texts.push_back(row.text(key.column));
            keys = CollationKeys(texts);
        }
    }

    bool empty() const { return m_keys.empty(); }

    bool operator()(std::size_t a, std::size_t b) const {
        for (const SortKey& key : m_keys) {
            const int c = compare(a, b, key);
            if (c != 0)
                return c < 0;
        }
        return false;
    }

private:
    // Ascending comparison of rows a and b; descending codes turn it round.
    int compare(std::size_t a, std::size_t b, SortKey key) const {
        const SortRow& x = m_rows[a];
        const SortRow& y = m_rows[b];
        if (key.code == 0)
            return sign(x.entryIndex <=> y.entryIndex);
        int c = 0;
        switch (key.column) {
        case kSortBySize:
            c = sign(x.length <=> y.length);
            break;
        case kSortByDate:
            c = sign(x.lastWriteTime <=> y.lastWriteTime);
            break;
        case kSortByPixels:
            c = sign(pixelValue(x, key.code) <=> pixelValue(y, key.code));
            break;
        default: {
            c = m_texts[static_cast<std::size_t>(key.column)].compare(a, b);
            break;
        }
        }
        return key.ascending() ? c : -c;
    }

    const std::vector<SortRow>& m_rows;
    std::vector<SortKey> m_keys;
    std::array<CollationKeys, kSortColumnCount> m_texts;
};

} // namespace

void sortRows(std::vector<SortRow>& rows, std::span<const SortKey> keysNewestFirst) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    {
        const RowComparison comparison(rows, keysNewestFirst);
        if (comparison.empty())
            return;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return comparison(a, b); });
    }
    std::vector<SortRow> sorted;
    sorted.reserve(rows.size());
    for (const std::size_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

} // namespace vemra
