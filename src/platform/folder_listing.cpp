#include "platform/folder_listing.h"

#include "platform/wildcard.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace vemra {
namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

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
    // readdir gives the order of the directory's hash table, which looks
    // random to a person; the unsorted "scan order" of the views should read
    // like a file manager's, so the names are put in case-insensitive order
    // (byte order breaks ties, so the result never depends on the disk).
    std::sort(items.begin(), items.end(), [](const DirectoryItem& a, const DirectoryItem& b) {
        const auto less = [](char x, char y) {
            return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
        };
        if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                         less))
            return true;
        if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(),
                                         less))
            return false;
        return a.name < b.name;
    });
    return items;
}

} // namespace vemra
