#include "platform/wildcard.h"

#include <dirent.h>

#include <memory>

namespace vemra {
namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the UTF-8 sequence starting at `i` (1 for stray bytes).
std::size_t charLength(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    return i + n <= s.size() ? n : 1;
}

} // namespace

bool matchesWildcard(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*")
        return true;
    // Classic glob with one backtracking point: the last "*" seen.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            n += charLength(name, n);
            ++m;
        } else if (m < mask.size() && fold(mask[m]) == fold(name[n])) {
            ++n;
            ++m;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            starName += charLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::vector<DirectoryItem> enumerateFolder(const std::string& folder, std::string_view mask) {
    std::vector<DirectoryItem> items;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                            closedir);
    if (!dir)
        return items;
    while (dirent* d = readdir(dir.get())) {
        const std::string_view name = d->d_name;
        if (name == "." || name == "..")
            continue;
        if (!matchesWildcard(name, mask))
            continue;
        auto status = fileStatusAt(dirfd(dir.get()), d->d_name);
        if (!status)
            continue;
        items.push_back({std::string(name), *status});
    }
    return items;
}

} // namespace vemra
