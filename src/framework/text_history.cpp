#include "framework/text_history.h"

#include "settings/settings_store.h"

#include <algorithm>
#include <utility>

namespace vemra {

TextHistory::TextHistory(std::string section, std::string keyFormat, int count)
    : m_section(std::move(section)), m_keyFormat(std::move(keyFormat)),
      m_count(std::max(count, 0)) {}

std::string TextHistory::key(int index) const {
    std::string key = m_keyFormat;
    if (const auto at = key.find("%d"); at != std::string::npos)
        key.replace(at, 2, std::to_string(index));
    else
        key += std::to_string(index);
    return key;
}

void TextHistory::load(SettingsStore& store) {
    m_entries.clear();
    for (int i = 0; i < m_count; ++i) {
        std::string text = store.getText(m_section, key(i));
        if (!text.empty())
            m_entries.push_back(std::move(text));
    }
}

void TextHistory::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (int i = 0; i < m_count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        store.putText(m_section, key(i),
                      index < m_entries.size() ? std::string_view(m_entries[index])
                                               : std::string_view());
    }
}

void TextHistory::accept(std::string_view text) {
    if (text.empty())
        return;
    std::erase_if(m_entries, [text](const std::string& entry) { return entry == text; });
    m_entries.insert(m_entries.begin(), std::string(text));
    if (m_entries.size() > static_cast<std::size_t>(m_count))
        m_entries.resize(static_cast<std::size_t>(m_count));
}

void TextHistory::setEntries(std::vector<std::string> entries) {
    std::erase_if(entries, [](const std::string& e) { return e.empty(); });
    if (entries.size() > static_cast<std::size_t>(m_count))
        entries.resize(static_cast<std::size_t>(m_count));
    m_entries = std::move(entries);
}

} // namespace vemra
