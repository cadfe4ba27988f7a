#pragma once

#include "document/thumb_record.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// The thumbnail-cache file of one picture folder, held in memory: records
// in file order, each found by (file name, archive file name). The file has
// no header of its own; it is a plain sequence of records.
//
// Loading is bounded by the file's bytes: lengths that run past the end,
// headers too short to say how much data follows, and thumbnails larger
// than kMaxDataBytes end or skip what cannot be trusted, keeping every record
// read before.
class ThumbCacheFile {
public:
    static constexpr std::uint32_t kMaxDataBytes = 64u << 20;
    // Loading stops once the records held reach this many bytes.
    static constexpr std::uint64_t kMaxLoadedBytes = 1ull << 30;

    // An empty object for `folder`, whose records live in `path`. Loading
    // is separate so a file that cannot be read simply leaves it empty.
    ThumbCacheFile(std::string folder, std::string path);

    const std::string& folder() const { return m_folder; }
    const std::string& path() const { return m_path; }
    const std::vector<ThumbRecord>& records() const { return m_records; }
    bool changed() const { return m_changed; }

    // Reads the file's records; false when it is not a regular file or
    // could not be opened (the object then stays empty). A loaded object counts as changed, so the
    // next write rewrites older records with full headers.
    bool load();

    const ThumbRecord* find(std::string_view fileName, std::string_view archiveFileName) const;
    // Replaces the record with the same names, or appends it.
    void put(ThumbRecord record);
    // False when there was no such record.
    bool erase(std::string_view fileName, std::string_view archiveFileName);

    // Writes every record when the object changed; a file left without
    // records is deleted instead. The file is replaced whole or not at all,
    // so a failed write never leaves half a file. False on failure.
    bool write();

private:
    std::vector<ThumbRecord>::iterator findRecord(std::string_view fileName,
                                                  std::string_view archiveFileName);

    std::string m_folder;
    std::string m_path;
    std::vector<ThumbRecord> m_records;
    bool m_changed = true;
};

} // namespace vemra
