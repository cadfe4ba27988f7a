#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vemra {

class ThumbRecord;

// A folder whose thumbnails the central cache folder keeps, as its list
// file "_cache_.lst" names it.
struct CachedFolder {
    std::string key;    // the list file's key: serial, then the path with "=" as "|"
    std::string folder; // the picture folder
    std::string file;   // the numbered cache file in the central folder
    // Whether the folder's medium is present now: the stored volume serial
    // is the one the folder's path lies on. An absent medium (a disc not
    // inserted, a drive not mounted) is never optimised, since its pictures
    // only seem to be missing.
    bool present = false;
};

// Every folder of the central folder's thumbnail list, in the list's order;
// the counter and names that would lead out of the central folder are left
// out.
std::vector<CachedFolder> listCachedFolders(const std::string& centralFolder);

// Whether the picture of `record` still exists in `folder` (for an archive
// member: its archive).
bool recordPictureExists(const ThumbRecord& record, const std::string& folder);

struct OptimiseOutcome {
    int kept = 0;
    int removed = 0;
    bool fileDeleted = false; // no record was left: the file and its key are gone
    bool failed = false;      // the cache file could not be read or rewritten
};

// Rewrites the cache file of `folder` keeping only the records whose
// pictures exist; without any left, deletes it and its key. An absent
// medium is left as it is.
OptimiseOutcome optimiseCachedFolder(const std::string& centralFolder, const CachedFolder& folder);

} // namespace vemra
