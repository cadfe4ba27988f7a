#pragma once

#include <string>
#include <vector>

namespace vemra {

class SettingsStore;

// The quick-access folders of the folder tree's context menu: at most ten,
// most recently used first, kept in "DrvView" "QUICKACC_0" ... "QUICKACC_9".
class QuickAccessList {
public:
    static constexpr int kSize = 10;

    static QuickAccessList load(SettingsStore& store);
    // Writes all ten keys; the unused ones empty.
    void save(SettingsStore& store) const;

    const std::vector<std::string>& paths() const { return m_paths; }

    // Puts `path` first unless it is in the list already (then nothing
    // changes); the eleventh folder pushes the oldest out. True when added.
    bool add(const std::string& path);
    // Moves entry `index` to the front and gives its path; empty when there
    // is no such entry.
    std::string choose(int index);

private:
    std::vector<std::string> m_paths;
};

} // namespace vemra
