#include "document/cache_maintenance.h"

#include "document/store_location.h"
#include "document/thumb_cache_file.h"
#include "document/thumb_record.h"
#include "platform/file_status.h"
#include "platform/profile_ini.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vemra {
namespace {

constexpr std::size_t kSerialDigits = 8;

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string listPath(const std::string& centralFolder) {
    return inFolder(centralFolder, std::string(kCacheListName));
}

} // namespace

std::vector<CachedFolder> listCachedFolders(const std::string& centralFolder) {
    std::vector<CachedFolder> folders;
    if (centralFolder.empty())
        return folders;
    ProfileIni list(listPath(centralFolder));
    for (const std::string& key : list.keyNames(kThumbStore.section)) {
        if (key == kCacheSeqNoKey || key.size() <= kSerialDigits)
            continue;
        const std::string name = list.readText(kThumbStore.section, key);
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            continue;
        CachedFolder f;
        f.key = key;
        f.folder = key.substr(kSerialDigits);
        for (char& c : f.folder)
            if (c == '|')
                c = '=';
        f.file = inFolder(centralFolder, name);
        char serial[16];
        std::snprintf(serial, sizeof serial, "%08X", volumeSerial(f.folder));
        std::error_code error;
        f.present = key.compare(0, kSerialDigits, serial) == 0 &&
                    std::filesystem::is_directory(f.folder, error);
        folders.push_back(std::move(f));
    }
    return folders;
}

bool recordPictureExists(const ThumbRecord& record, const std::string& folder) {
    const std::string archive = record.archiveFileName();
    return isExistingFile(inFolder(folder, archive.empty() ? record.fileName() : archive));
}

OptimiseOutcome optimiseCachedFolder(const std::string& centralFolder, const CachedFolder& folder) {
    OptimiseOutcome outcome;
    if (!folder.present)
        return outcome;
    ThumbCacheFile file(folder.folder, folder.file);
    if (!file.load()) {
        outcome.failed = true;
        return outcome;
    }
    std::vector<std::pair<std::string, std::string>> gone;
    for (std::size_t at = 0; at < file.recordCount(); ++at) {
        const std::optional<ThumbRecord> record = file.recordAt(at);
        // A record that cannot be read back is kept: nothing says its
        // picture is gone.
        if (!record || recordPictureExists(*record, folder.folder))
            ++outcome.kept;
        else
            gone.emplace_back(record->fileName(), record->archiveFileName());
    }
    for (const auto& [name, archive] : gone)
        file.erase(name, archive);
    outcome.removed = static_cast<int>(gone.size());
    if (outcome.kept == 0) {
        std::error_code error;
        std::filesystem::remove(folder.file, error);
        ProfileIni list(listPath(centralFolder));
        list.deleteKey(kThumbStore.section, folder.key);
        outcome.fileDeleted = true;
        outcome.failed = static_cast<bool>(error);
        return outcome;
    }
    if (outcome.removed > 0 && !file.write())
        outcome.failed = true;
    return outcome;
}

} // namespace vemra
