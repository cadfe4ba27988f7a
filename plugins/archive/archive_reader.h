#pragma once

// A libarchive reader over one of the plug-in interface's sources: a file
// (from a byte offset on) or a block of memory.

#include <vemra/spi.h>

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vemra::spi {

class ArchiveReader {
public:
    ArchiveReader() = default;
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    ~ArchiveReader();

    // Reads LHA names as Shift-JIS. LHA archives rarely say how their names
    // are encoded, and libarchive gives up on a name that is not valid in the
    // locale's character set, so an LHA archive that fails is read again
    // with this set.
    void setLegacyNames(bool on) { m_legacyNames = on; }
    // True when the archive being read is an LHA archive.
    bool isLha() const;

    // Opens the archive; an SPI result code.
    int open(const char* buf, intptr_t len, unsigned flag);
    // Opens `size` bytes at `data` (not copied; they must outlive the reader).
    int openMemory(const void* data, std::size_t size);
    // Opens the file behind `fd` from `offset` on; the descriptor stays the
    // caller's.
    int openDescriptor(int fd, std::int64_t offset);

    archive* get() const { return m_archive; }

    // Reads the next header. 1 with an entry, 0 at the end, or a negated SPI
    // code when the archive is broken (or, before the first entry, is no
    // archive this reader knows).
    int next(archive_entry*& entry);
    int index() const { return m_index; }

private:
    static la_ssize_t readCallback(archive*, void* self, const void** out);
    static la_int64_t seekCallback(archive*, void* self, la_int64_t offset, int whence);
    static la_int64_t skipCallback(archive*, void* self, la_int64_t request);
    bool create();

    archive* m_archive = nullptr;
    int m_fd = -1;
    bool m_ownsFd = false;
    std::int64_t m_base = 0;
    std::int64_t m_size = 0;
    std::int64_t m_position = 0;
    std::vector<char> m_buffer;
    int m_index = -1;
    bool m_legacyNames = false;
};

// The member's name inside the archive, "/"-separated, in UTF-8 (legacy
// Shift-JIS names converted), without a leading "./" or "/".
std::string memberName(archive_entry* entry);

} // namespace vemra::spi
