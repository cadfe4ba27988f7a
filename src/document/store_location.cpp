#include "document/store_location.h"

#include "platform/file_status.h"
#include "platform/profile_ini.h"

#include <cstdio>
#include <filesystem>
#include <limits>

namespace vemra {
namespace {

std::string joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

// The central file named in the list file for `folder`, or nullopt.
std::optional<std::string> namedFile(ProfileIni& list, std::string_view centralFolder,
                                     const StoreKind& kind, const std::string& key) {
    auto name = list.find(kind.section, key);
    if (!name || name->empty())
        return std::nullopt;
    // The list file is shared with other programs; a name that climbs out
    // of the central folder is not one we gave.
    if (name->find('/') != std::string::npos || *name == "." || *name == "..")
        return std::nullopt;
    return joined(centralFolder, *name);
}

} // namespace

std::string storeFolderKey(std::string_view folder) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08X", volumeSerial(std::string(folder)));
    std::string key(serial);
    key += folder;
    for (char& c : key) {
        if (c == '=')
            c = '|';
    }
    return key;
}

std::string locateStoreFile(std::string_view folder, std::string_view centralFolder,
                            const StoreKind& kind) {
    std::string inFolder = joined(folder, kind.inFolderName);
    if (centralFolder.empty() || isExistingFile(inFolder))
        return inFolder;

    ProfileIni list(joined(centralFolder, kCacheListName));
    const std::string key = storeFolderKey(folder);
    if (auto named = namedFile(list, centralFolder, kind, key))
        return *named;

    // The default central folder lies in the user's cache folder and need
    // not exist yet; without it the store would fall back into the picture
    // folder, which the central folder is there to keep clean.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(centralFolder), ignored);
    const int number = list.readInt(kind.section, kCacheSeqNoKey, 0);
    if (number < 0 || number == std::numeric_limits<int>::max())
        return inFolder; // a damaged counter; keep the store in the folder
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08d", number);
    std::string name(digits);
    name += kind.extension;
    ProfileIni::Batch batch(list);
    if (!list.writeInt(kind.section, kCacheSeqNoKey, number + 1) ||
        !list.writeText(kind.section, key, name) || !batch.commit())
        return inFolder;
    return joined(centralFolder, name);
}

std::optional<std::string> findStoreFile(std::string_view folder, std::string_view centralFolder,
                                         const StoreKind& kind) {
    std::string inFolder = joined(folder, kind.inFolderName);
    if (isExistingFile(inFolder))
        return inFolder;
    if (centralFolder.empty())
        return std::nullopt;
    ProfileIni list(joined(centralFolder, kCacheListName));
    return namedFile(list, centralFolder, kind, storeFolderKey(folder));
}

} // namespace vemra
