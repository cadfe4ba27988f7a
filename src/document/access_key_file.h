#pragma once

#include <functional>
#include <string>

namespace vemra {

// A lock file that tells other programs a file is in use: beside the guarded
// file, with its base name and the extension ".ACF". Peers that share folder
// information files honour it, so it keeps its exact name and content.
//
// Retry counts: 0 = no locking at all (nothing checked, nothing written);
// n > 0 = look up to n times, 55 ms apart, for the lock file to go away;
// -1 = wait as long as it exists, looking every 55 ms (the optional `stop`
// check ends such a wait, since a peer may have died holding the lock).
class AccessKeyFile {
public:
    static constexpr const char* kContent =
        "this file is enviroment access key file. don't modify it.";
    static constexpr int kRetryIntervalMs = 55;

    AccessKeyFile() = default;
    AccessKeyFile(const AccessKeyFile&) = delete;
    AccessKeyFile& operator=(const AccessKeyFile&) = delete;
    AccessKeyFile(AccessKeyFile&& other) noexcept;
    AccessKeyFile& operator=(AccessKeyFile&& other) noexcept;
    ~AccessKeyFile();

    // The lock file's path for `guarded`: "/a/b/DIRINFO.KPI" -> "/a/b/DIRINFO.ACF".
    static std::string lockPathFor(const std::string& guarded);

    // Waits as `retries` says and takes the lock. False when another holder
    // kept it through all the retries (or `stop` answered true). A lock file
    // that cannot be written (a read-only folder) does not stop reading: the
    // lock is then simply not taken.
    bool acquire(const std::string& guarded, int retries, const std::function<bool()>& stop = {});
    // Deletes the lock file when this object wrote it.
    void release();

    bool holdsLock() const { return !m_lockPath.empty(); }

private:
    std::string m_lockPath;
};

} // namespace vemra
