#pragma once

#include <cstdint>
#include <string>

namespace vemra {

// What one folder scan is asked to do. Times are seconds since 1970; the
// date limits are already local times converted to time values.
struct ScanRequest {
    std::string folder;
    std::string mask = "*.*";          // one or more masks separated by ";" or ","
    bool archives = false;             // list the members of archive files
    bool subFolders = false;           // scan all sub-folders too, depth first
    bool useStoredInformation = false; // read each folder's "DIRINFO.KPI" first
    int foundCount = 0;                // out: files and members added
    int reserved = 0;                  // set by a refresh, read by nothing
    bool useMask = true;               // false: every file ("*.*")
    bool dateFilter = false;
    std::int64_t dateFrom = 0;
    std::int64_t dateTo = 0;
    bool sizeFilter = false;
    std::int64_t sizeMinimum = 0;
    std::int64_t sizeMaximum = 0;
    bool interruptible = false; // the user may stop the scan
};

// Results of a scan.
inline constexpr int kScanComplete = 0;
inline constexpr int kScanInterrupted = 2;
inline constexpr int kScanOutOfMemory = 3;

} // namespace vemra
