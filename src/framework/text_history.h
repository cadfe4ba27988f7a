#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class SettingsStore;

// The last N texts a dialog's combo box was accepted with, kept under
// numbered keys of one settings section ("Folder%d", "FileName%d",
// "RenameFormat%d", ...), most recent first. Accepting a text moves it to
// the top, removing an equal entry first; saving rewrites all N keys, the
// unused ones empty.
class TextHistory {
public:
    // `keyFormat` holds "%d" where the number goes.
    TextHistory(std::string section, std::string keyFormat, int count);

    const std::string& section() const { return m_section; }
    int count() const { return m_count; }
    // The key of entry `index`.
    std::string key(int index) const;

    // Reads the N keys, skipping empty ones.
    void load(SettingsStore& store);
    // Rewrites all N keys from the entries.
    void save(SettingsStore& store) const;

    // Moves `text` to the top (an empty text changes nothing) and keeps at
    // most N entries.
    void accept(std::string_view text);

    const std::vector<std::string>& entries() const { return m_entries; }
    void setEntries(std::vector<std::string> entries);

private:
    std::string m_section;
    std::string m_keyFormat;
    int m_count;
    std::vector<std::string> m_entries;
};

} // namespace vemra
