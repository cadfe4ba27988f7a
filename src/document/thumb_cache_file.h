#pragma once

#include "document/thumb_record.h"
#include "platform/spool_file.h"

#include <cstdint>
#include <optional>
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
// A folder of 100,000 pictures has about 600 MB of records (a 752-byte
// header and some 5 KB of thumbnail each): past heldLimit() bytes in
// memory, further records go whole to an unnamed scratch file beside the
// cache file and only their place there stays in memory. Records are
// therefore handed out as copies, read back from wherever they are.
class ThumbCacheFile {
public:
    static constexpr std::uint32_t kMaxDataBytes = 64u << 20;
    // Loading stops once the records held reach this many bytes.
    static constexpr std::uint64_t kMaxLoadedBytes = 1ull << 30;
    // About 1,300 records of 110 x 110 thumbnails: a folder of that many
    // never touches the scratch file, and a huge one keeps little in memory
    // beside the thumbnails its entries hold.
    static constexpr std::size_t kDefaultHeldBytes = std::size_t{8} << 20;

    // An empty object for `folder`, whose records live in `path`. Loading
    // is separate so a file that cannot be read simply leaves it empty.
    ThumbCacheFile(std::string folder, std::string path);

    const std::string& folder() const { return m_folder; }
    const std::string& path() const { return m_path; }
    std::size_t recordCount() const { return m_slots.size() - m_erased; }
    bool changed() const { return m_changed; }

    // Reads the file's records; false when it is not a regular file or
    // could not be opened (the object then stays empty). A loaded object counts as changed, so the
    // next write rewrites older records with full headers.
    bool load();

    // The record at `at` (file order) with its thumbnail; none when `at` is
    // past the end or the scratch file could not give the record back.
    // (Erased records keep their slots until many are erased or the file is
    // written; meanwhile this walks the slots to find the record.)
    std::optional<ThumbRecord> recordAt(std::size_t at) const;
    // The record with these names, as recordAt gives it.
    std::optional<ThumbRecord> find(std::string_view fileName,
                                    std::string_view archiveFileName) const;
    bool contains(std::string_view fileName, std::string_view archiveFileName) const;

    void setHeldLimit(std::size_t bytes) { m_heldLimit = bytes; }
    std::size_t heldLimit() const { return m_heldLimit; }
    // The bytes of the records held in memory, headers and thumbnails.
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
    // A record held in memory, or where its bytes (header, then thumbnail)
    // are in the scratch file.
    struct Slot {
        std::optional<ThumbRecord> record;
        std::int64_t offset = -1;
        std::uint32_t size = 0;
        bool erased = false;
    };

    static std::string key(std::string_view fileName, std::string_view archiveFileName);
    std::size_t indexOf(std::string_view fileName, std::string_view archiveFileName) const;
    void add(ThumbRecord record);
    void place(std::size_t at, ThumbRecord record);
    // Moves the record to the scratch file when memory is past the limit;
    // it stays where it is when that file cannot take it.
    void keep(std::size_t at);
    void forget(std::size_t at);
    // Drops the slots of erased records and renumbers the rest.
    void compact();

    std::string m_folder;
    std::string m_path;
    std::vector<Slot> m_slots;
    // Slots of erased records not yet dropped: erasing one record used to
    // renumber every later one, so erasing thousands of 100,000 took
    // minutes.
    std::size_t m_erased = 0;
    std::unordered_map<std::string, std::size_t> m_index; // names -> first record
    // Later records with the same names as an earlier one (a file may hold
    // such): found once the earlier is erased.
    std::unordered_multimap<std::string, std::size_t> m_shadowed;
    SpoolFile m_spool;
    bool m_spoolFailed = false;
    std::size_t m_held = 0;
    std::size_t m_heldLimit = kDefaultHeldBytes;
    bool m_changed = true;
};

} // namespace vemra
