#include "document/sort_history.h"

#include "platform/field_list.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <charconv>

namespace vemra {
namespace {

constexpr std::string_view kSection = "LstView";
constexpr std::string_view kKey = "SortHistory";

} // namespace

void SortHistory::push(SortKey key) {
    if (!key.isValid())
        return;
    std::erase_if(m_keys, [&](const SortKey& k) { return k.column == key.column; });
    m_keys.insert(m_keys.begin(), key);
    if (m_keys.size() > kMaxKeys)
        m_keys.resize(kMaxKeys);
}

SortHistory SortHistory::parse(std::string_view text) {
    SortHistory history;
    for (const std::string_view raw : splitFields(text)) {
        if (history.m_keys.size() == kMaxKeys)
            break;
        const std::size_t first = raw.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        const std::string_view field = raw.substr(first, raw.find_last_not_of(" \t") + 1 - first);
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size())
            continue;
        const std::optional<SortKey> key = SortKey::unpack(value);
        if (!key)
            continue;
        const bool seen = std::any_of(history.m_keys.begin(), history.m_keys.end(),
                                      [&](const SortKey& k) { return k.column == key->column; });
        if (!seen)
            history.m_keys.push_back(*key);
    }
    return history;
}

std::string SortHistory::format() const {
    std::string text;
    for (const SortKey& key : m_keys) {
        if (!text.empty())
            text += ',';
        text += std::to_string(key.packed());
    }
    return text;
}

SortHistory SortHistory::load(SettingsStore& store) {
    return parse(store.getText(kSection, kKey));
}

void SortHistory::save(SettingsStore& store) const {
    store.putText(kSection, kKey, format());
}

} // namespace vemra
