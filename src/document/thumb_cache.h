#pragma once

#include "document/thumb_cache_file.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class PictureSource;
class ScanServices;

// The thumbnail-cache files open in this process, one per picture folder,
// and the operations on one entry's thumbnail: look it up, store it, remove
// it. Files are read on first use and written only by writeAll(), so
// looking up every thumbnail of a folder costs one read of its file.
//
// For the thread that owns the document, like the entries it serves.
class ThumbCache {
public:
    static constexpr int kJpegQuality = 95;

    // The central cache folder (empty: every folder keeps its own file).
    // Files already open keep the place they were found at.
    void setCentralFolder(std::string folder) { m_centralFolder = std::move(folder); }
    const std::string& centralFolder() const { return m_centralFolder; }

    // The open file of `folder`, or null.
    ThumbCacheFile* findOpen(std::string_view folder);
    // The open file of `folder`, opened and loaded when it was not; this may
    // give the folder a name in the central list file.
    ThumbCacheFile& findOrOpen(std::string_view folder);
    const std::vector<std::unique_ptr<ThumbCacheFile>>& files() const { return m_files; }

    // Sets the entry's cache-tried flag and loads its thumbnail from the
    // cache when a record for it is still valid: same length, member
    // position and last-write time (also as written under the other time
    // convention), and for a plain file a decoder that is still in use. On
    // success the entry takes the recorded sizes, decoder and drawing
    // options, its cached flag is set, and true is returned.
    bool lookUp(PictureSource& entry, const ScanServices& services);

    // Stores the entry's thumbnail as JPEG when it has one that is not
    // cached yet; sets the cached flag on success.
    bool store(PictureSource& entry, const ScanServices& services);

    // Deletes the entry's record from its folder's open file, if any, and
    // clears its cached flag.
    void remove(PictureSource& entry);

    // Writes every open file (see ThumbCacheFile::write); false when any
    // write failed.
    bool writeAll();
    // Forgets every open file without writing.
    void closeAll() { m_files.clear(); }

private:
    std::string m_centralFolder;
    std::vector<std::unique_ptr<ThumbCacheFile>> m_files;
};

// True when `recorded` is `actual` written under the other time convention:
// the calendar fields of `actual` in universal time read back as local time.
bool isOtherTimeConvention(std::uint32_t recorded, std::int64_t actual);

} // namespace vemra
