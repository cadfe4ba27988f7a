#include "views/quick_access_list.h"

#include "settings/settings_store.h"

#include <algorithm>

namespace vemra {
namespace {

constexpr const char* kSection = "DrvView";

std::string keyOf(int index) {
    return "QUICKACC_" + std::to_string(index);
}

} // namespace

QuickAccessList QuickAccessList::load(SettingsStore& store) {
    QuickAccessList list;
    for (int i = 0; i < kSize; ++i) {
        std::string path = store.getText(kSection, keyOf(i), "");
        // An entry stored twice (edited by hand) is listed once.
        if (!path.empty() &&
            std::find(list.m_paths.begin(), list.m_paths.end(), path) == list.m_paths.end()) {
            list.m_paths.push_back(std::move(path));
        }
    }
    return list;
}

void QuickAccessList::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (int i = 0; i < kSize; ++i) {
        const auto index = static_cast<std::size_t>(i);
        store.putText(kSection, keyOf(i), index < m_paths.size() ? m_paths[index] : "");
    }
}

bool QuickAccessList::add(const std::string& path) {
    // Paths name folders exactly: "/Photos" and "/photos" are two folders.
    if (path.empty() || std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end()) {
        return false;
    }
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > static_cast<std::size_t>(kSize)) {
        m_paths.resize(kSize);
    }
    return true;
}

std::string QuickAccessList::choose(int index) {
    if (index < 0 || index >= static_cast<int>(m_paths.size())) {
        return {};
    }
    const auto at = m_paths.begin() + index;
    std::rotate(m_paths.begin(), at, at + 1);
    return m_paths.front();
}

} // namespace vemra
