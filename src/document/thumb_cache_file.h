#pragma once

#include "document/thumb_record.h"
#include "platform/spool_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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
//
// A folder of 100,000 pictures has about 500 MB of thumbnails: past
// heldLimit() bytes in memory, the thumbnails of further records go to an
// unnamed scratch file beside the cache file and only their headers stay
// here (records() then holds those without data: jpegData() reads them).
class ThumbCacheFile {
public:
    static constexpr std::uint32_t kMaxDataBytes = 64u << 20;
    // Loading stops once the records held reach this many bytes.
    static constexpr std::uint64_t kMaxLoadedBytes = 1ull << 30;
    static constexpr std::size_t kDefaultHeldBytes = std::size_t{24} << 20;

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
    // The thumbnail of a record of this file, wherever it is kept; empty
    // when the scratch file could not give it back.
    std::vector<std::byte> jpegData(const ThumbRecord& record) const;

    void setHeldLimit(std::size_t bytes) { m_heldLimit = bytes; }
    std::size_t heldLimit() const { return m_heldLimit; }
    // The thumbnail bytes held in memory.
    std::size_t heldBytes() const { return m_held; }
    // Replaces the record with the same names, or appends it.
    void put(ThumbRecord record);
    // False when there was no such record.
    bool erase(std::string_view fileName, std::string_view archiveFileName);

    // Writes every record when the object changed; a file left without
    // records is deleted instead. The file is replaced whole or not at all,
    // so a failed write never leaves half a file. False on failure.
    bool write();

private:
    // Where the thumbnail of a record moved out is in the scratch file.
    struct Spooled {
        std::int64_t offset = -1; // -1: in the record itself
        std::uint32_t size = 0;
    };

    static std::string key(std::string_view fileName, std::string_view archiveFileName);
    std::size_t indexOf(std::string_view fileName, std::string_view archiveFileName) const;
    void rebuildIndex();
    void add(ThumbRecord record);
    // Moves the record's thumbnail to the scratch file when memory is past
    // the limit; it stays where it is when that file cannot take it.
    void keep(std::size_t at);
    void forgetData(std::size_t at);

    std::string m_folder;
    std::string m_path;
    std::vector<ThumbRecord> m_records;
    std::vector<Spooled> m_spooled;                       // one per record
    std::unordered_map<std::string, std::size_t> m_index; // names -> first record
    SpoolFile m_spool;
    bool m_spoolFailed = false;
    std::size_t m_held = 0;
    std::size_t m_heldLimit = kDefaultHeldBytes;
    bool m_changed = true;
};

} // namespace vemra
