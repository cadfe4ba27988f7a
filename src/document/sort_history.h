#pragma once

#include "document/sort_key.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class SettingsStore;

// The last ways of ordering the user chose, newest first, at most one per
// column and at most ten. After every scan they are applied again so that
// the newest key decides and the older ones break its ties.
class SortHistory {
public:
    static constexpr std::size_t kMaxKeys = 10;

    SortHistory() = default;

    // Newest first.
    std::span<const SortKey> keys() const { return m_keys; }
    bool empty() const { return m_keys.empty(); }
    // The key that decides first (the scan order when there is none).
    SortKey newest() const { return m_keys.empty() ? SortKey{} : m_keys.front(); }

    // Makes `key` the newest: any key of its column goes, the oldest beyond
    // ten is dropped. An invalid key changes nothing.
    void push(SortKey key);
    void clear() { m_keys.clear(); }

    // The stored form: packed values in decimal, newest first, joined by
    // ",". Reading is forgiving: values that are not plain numbers, name no
    // column or a code the column lacks, repeat a column already read or come
    // after the tenth are skipped.
    static SortHistory parse(std::string_view text);
    std::string format() const;

    // "LstView" "SortHistory".
    static SortHistory load(SettingsStore& store);
    void save(SettingsStore& store) const;

    friend bool operator==(const SortHistory&, const SortHistory&) = default;

private:
    std::vector<SortKey> m_keys;
};

} // namespace vemra
