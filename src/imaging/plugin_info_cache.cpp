#include "imaging/plugin_info_cache.h"

#include "imaging/host_protocol.h"
#include "imaging/plugin_module.h"
#include "platform/atomic_file.h"
#include "platform/user_folders.h"

#include <sys/stat.h>

#include <charconv>
#include <filesystem>
#include <fstream>

// One line per plug-in, fields separated by tabs, texts in hexadecimal so
// that no byte of a path or an information entry needs quoting:
//   path  identity  dialog(0|1)  count  entry...
namespace vemra {
namespace {

constexpr std::string_view kFirstLine = "vemra plug-in information 1";
constexpr std::size_t kMaxPathBytes = 4096;

// Who the file at `path` is now: size, change times, inode, device. Empty
// when it cannot be looked at.
std::string identityOf(const std::string& path) {
    struct stat s {};
    if (::stat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode)) {
        return {};
    }
    return std::to_string(s.st_size) + ':' + std::to_string(s.st_mtim.tv_sec) + '.' +
           std::to_string(s.st_mtim.tv_nsec) + ':' + std::to_string(s.st_ctim.tv_sec) + '.' +
           std::to_string(s.st_ctim.tv_nsec) + ':' + std::to_string(s.st_ino) + ':' +
           std::to_string(s.st_dev);
}

void appendHex(std::string& out, std::string_view text) {
    constexpr char kDigits[] = "0123456789abcdef";
    for (const unsigned char c : text) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
}

bool fromHex(std::string_view hex, std::string& out, std::size_t maxBytes) {
    if (hex.size() % 2 != 0 || hex.size() / 2 > maxBytes) {
        return false;
    }
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (error != std::errc() || end != hex.data() + i + 2) {
            return false;
        }
        out += static_cast<char>(value);
    }
    return true;
}

// Splits `line` at tabs into at most `maxFields` fields; false for more.
bool splitFields(std::string_view line, std::vector<std::string_view>& fields,
                 std::size_t maxFields) {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        if (fields.size() == maxFields) {
            return false;
        }
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return true;
        }
        start = tab + 1;
    }
}

} // namespace

PluginInfoCache::PluginInfoCache(std::string file) : m_file(std::move(file)) {
    if (m_file.empty()) {
        return;
    }
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        return;
    }
    std::string bytes(kMaxFileBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFileBytes || !parse(bytes, m_entries)) {
        m_entries.clear();
    }
}

std::string PluginInfoCache::defaultFile() {
    const std::string folder = userCacheFolder();
    return folder.empty() ? std::string() : folder + "/Vemra/plugin-info";
}

std::optional<PluginInformation> PluginInfoCache::find(const std::string& path) const {
    if (m_file.empty()) {
        return std::nullopt;
    }
    const std::string identity = identityOf(path);
    const std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(path);
    if (identity.empty() || found == m_entries.end() || found->second.identity != identity) {
        return std::nullopt;
    }
    return found->second.information;
}

void PluginInfoCache::put(const std::string& path, const PluginInformation& information) {
    if (m_file.empty() || path.size() > kMaxPathBytes ||
        information.information.size() > host::kMaxInformation) {
        return;
    }
    std::string identity = identityOf(path);
    if (identity.empty()) {
        return;
    }
    const std::lock_guard lock(m_mutex);
    if (m_entries.size() >= kMaxEntries && !m_entries.contains(path)) {
        return;
    }
    m_entries[path] = {std::move(identity), information};
    m_changed = true;
}

bool PluginInfoCache::save() {
    const std::lock_guard lock(m_mutex);
    if (m_file.empty() || !m_changed) {
        return true;
    }
    std::error_code error;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        it = std::filesystem::exists(it->first, error) ? std::next(it) : m_entries.erase(it);
    }
    std::filesystem::create_directories(std::filesystem::path(m_file).parent_path(), error);
    const std::string bytes = serialise(m_entries);
    if (!writeFileAtomically(m_file, std::as_bytes(std::span(bytes.data(), bytes.size())))) {
        return false;
    }
    m_changed = false;
    return true;
}

std::string PluginInfoCache::serialise(const std::map<std::string, Entry>& entries) {
    std::string out(kFirstLine);
    out += '\n';
    for (const auto& [path, entry] : entries) {
        appendHex(out, path);
        out += '\t';
        out += entry.identity;
        out += entry.information.hasConfigurationDialog ? "\t1\t" : "\t0\t";
        out += std::to_string(entry.information.information.size());
        for (const std::string& text : entry.information.information) {
            out += '\t';
            appendHex(out, text);
        }
        out += '\n';
    }
    return out;
}

bool PluginInfoCache::parse(std::string_view bytes, std::map<std::string, Entry>& out) {
    out.clear();
    if (bytes.size() > kMaxFileBytes || !bytes.starts_with(kFirstLine) ||
        bytes.substr(kFirstLine.size(), 1) != "\n") {
        return false;
    }
    bytes.remove_prefix(kFirstLine.size() + 1);
    std::vector<std::string_view> fields;
    while (!bytes.empty()) {
        const auto newline = bytes.find('\n');
        if (newline == std::string_view::npos || out.size() >= kMaxEntries) {
            return false;
        }
        const std::string_view line = bytes.substr(0, newline);
        bytes.remove_prefix(newline + 1);
        std::size_t count = 0;
        if (!splitFields(line, fields, 4 + host::kMaxInformation) || fields.size() < 4) {
            return false;
        }
        const auto [end, error] =
            std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), count);
        std::string path;
        Entry entry;
        if (error != std::errc() || end != fields[3].data() + fields[3].size() ||
            count != fields.size() - 4 || !fromHex(fields[0], path, kMaxPathBytes) ||
            path.empty() || fields[1].empty() || fields[1].size() > 128 ||
            (fields[2] != "0" && fields[2] != "1")) {
            return false;
        }
        entry.identity = std::string(fields[1]);
        entry.information.hasConfigurationDialog = fields[2] == "1";
        entry.information.information.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            std::string& text = entry.information.information[i];
            if (!fromHex(fields[4 + i], text, PluginModule::kInfoBufferBytes) ||
                text.find('\0') != std::string::npos) {
                return false;
            }
        }
        out[std::move(path)] = std::move(entry);
    }
    return true;
}

} // namespace vemra
