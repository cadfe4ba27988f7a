#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// What loading a plug-in tells about it: its information entries (kind,
// description, extension patterns) and whether it has a settings dialog.
struct PluginInformation {
    bool hasConfigurationDialog = false;
    std::vector<std::string> information; // by entry index
};

// The information of plug-ins read before, kept in a small file, so that a
// program start that needs no plug-in starts no plug-in host to learn what
// the plug-ins are. An entry counts only while the plug-in file is the one
// it was read from (same size, change times, inode and device); anything
// else is read again by loading the plug-in. The file is untrusted: every
// line, field and count is bounded, and a damaged file is an empty cache.
class PluginInfoCache {
public:
    static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
    static constexpr std::size_t kMaxEntries = 512;

    // Reads `file` (empty: a cache that is never read nor written).
    explicit PluginInfoCache(std::string file);

    // $XDG_CACHE_HOME/Vemra/plugin-info (~/.cache when unset); empty when no
    // cache folder can be told.
    static std::string defaultFile();

    // The information of the plug-in file at `path` as it is now, when known.
    std::optional<PluginInformation> find(const std::string& path) const;
    // Keeps what loading the plug-in at `path` told.
    void put(const std::string& path, const PluginInformation& information);
    // Writes the file atomically when something was put since it was read;
    // entries of plug-ins that are gone are dropped. False when it could not
    // be written.
    bool save();

    // The bytes of the file for `entries` and back; exposed for the tests
    // and the fuzz target. parse() is false for a damaged file.
    struct Entry {
        std::string identity;
        PluginInformation information;
    };
    static std::string serialise(const std::map<std::string, Entry>& entries);
    static bool parse(std::string_view bytes, std::map<std::string, Entry>& out);

private:
    std::string m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, Entry> m_entries; // by plug-in path
    bool m_changed = false;
};

} // namespace vemra
