// Archive plug-in (00AM) over libarchive: zip, 7z, rar, lzh/lha, tar (plain or
// compressed with gzip, bzip2, xz and others), cab, iso and cpio.
//
// A member's position is its index in the archive's header sequence, counting
// every header (folders and links too), so the same archive always yields the
// same position for the same member. Only regular files are listed.

#include "../common/spi_support.h"
#include "archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vemra::spi;

// Members delivered into memory are capped well below what a picture
// browser can use; larger ones are refused as out of memory.
constexpr std::int64_t kMaxMemoryMember = std::int64_t{1} << 30;
// A member written to a folder may not exceed what its record can describe.
constexpr std::int64_t kMaxFolderMember = std::int64_t{UINT32_MAX};
// More members than this make the list itself a hostile allocation.
constexpr std::size_t kMaxMembers = 200000;
constexpr std::size_t kCopyChunk = 256 * 1024;

// Copies `text` into a fixed record field, cut at a UTF-8 character boundary
// so that a long name never ends in half a character.
void storeField(char* field, std::size_t capacity, const std::string& text) {
    std::size_t length = std::min(text.size(), capacity - 1);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string methodName(archive* a) {
    const int format = archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
    const char* name = archive_format_name(a);
    const std::string described = name != nullptr ? name : "";
    switch (format) {
    case ARCHIVE_FORMAT_ZIP:
        if (described.find("uncompressed") != std::string::npos) {
            return "store";
        }
        return described.find("deflation") != std::string::npos ? "deflate" : "zip";
    case ARCHIVE_FORMAT_7ZIP:
        return "7z";
    case ARCHIVE_FORMAT_RAR:
        return "rar";
    case ARCHIVE_FORMAT_RAR_V5:
        return "rar5";
    case ARCHIVE_FORMAT_LHA:
        return "lha";
    case ARCHIVE_FORMAT_TAR:
        return "tar";
    case ARCHIVE_FORMAT_CAB:
        return "cab";
    case ARCHIVE_FORMAT_ISO9660:
        return "iso";
    case ARCHIVE_FORMAT_CPIO:
        return "cpio";
    default:
        return "data";
    }
}

bool isRegularFile(archive_entry* entry) {
    return archive_entry_filetype(entry) == AE_IFREG;
}

// The member's data size, from its header or, when the header has none, by
// reading the data (at most kMaxMemoryMember bytes; larger members report
// the largest size the record holds). -1 when the data is broken.
std::int64_t memberSize(archive* a, archive_entry* entry) {
    if (archive_entry_size_is_set(entry)) {
        return std::max<std::int64_t>(archive_entry_size(entry), 0);
    }
    std::vector<char> buffer(kCopyChunk);
    std::int64_t total = 0;
    for (;;) {
        const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
        if (n == 0) {
            return total;
        }
        if (n < 0) {
            return -1;
        }
        total += n;
        // Past this the member is too large to use anyway; counting on
        // would only spend time on what may be a decompression bomb.
        if (total > kMaxMemoryMember) {
            return kMaxFolderMember;
        }
    }
}

void fillEntry(archive* a, archive_entry* entry, int index, const std::string& name,
               std::int64_t size, ArchiveEntry& out) {
    out = ArchiveEntry{};
    const std::string method = methodName(a);
    std::memcpy(out.method, method.data(), std::min(method.size(), sizeof out.method));
    out.position = static_cast<std::uint32_t>(index);
    out.filesize = static_cast<std::uint32_t>(std::clamp<std::int64_t>(size, 0, UINT32_MAX));
    if (archive_entry_mtime_is_set(entry)) {
        out.timestamp = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(archive_entry_mtime(entry), 0, UINT32_MAX));
    }
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    storeField(out.path, sizeof out.path, folder);
    storeField(out.filename, sizeof out.filename, file);
}

bool sameName(const std::string& a, const std::string& b, bool ignoreCase) {
    if (a.size() != b.size()) {
        return false;
    }
    if (!ignoreCase) {
        return a == b;
    }
    return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Reports progress through a member's data in an int-sized scale.
class Progress {
public:
    Progress(ProgressCallback callback, intptr_t userData, std::int64_t total)
        : m_callback(callback), m_userData(userData), m_total(std::max<std::int64_t>(total, 0)) {
        while ((m_total >> m_shift) > INT_MAX) {
            ++m_shift;
        }
    }
    bool abort(std::int64_t done) const {
        const std::int64_t shown = std::min(done, m_total);
        return shouldAbort(m_callback, static_cast<int>(shown >> m_shift),
                           static_cast<int>(m_total >> m_shift), m_userData);
    }

private:
    ProgressCallback m_callback;
    intptr_t m_userData;
    std::int64_t m_total;
    int m_shift = 0;
};

int dataError(archive_entry* entry) {
    // An encrypted member is not broken data, only data we cannot read.
    return archive_entry_is_encrypted(entry) ? SPI_NOT_SUPPORT : SPI_OUT_OF_ORDER;
}

// Reads the whole member into an exact-size block.
int extractToMemory(archive* a, archive_entry* entry, SpiHandle* dest, const Progress& progress) {
    std::vector<char> collected;
    const bool known = archive_entry_size_is_set(entry) != 0;
    const std::int64_t declared = known ? std::max<std::int64_t>(archive_entry_size(entry), 0) : 0;
    if (declared > kMaxMemoryMember) {
        return SPI_NO_MEMORY;
    }
    SpiHandle block = nullptr;
    if (known) {
        block = SpiAlloc(static_cast<std::size_t>(declared));
        if (block == nullptr) {
            return SPI_NO_MEMORY;
        }
    }
    std::int64_t done = 0;
    std::vector<char> chunk(known ? 0 : kCopyChunk);
    int code = SPI_ALL_RIGHT;
    for (;;) {
        la_ssize_t n;
        if (known) {
            // One spare byte shows a member that holds more than its header says.
            const std::int64_t room = declared - done;
            char spare = 0;
            n = room > 0 ? archive_read_data(
                               a, static_cast<char*>(block) + done,
                               static_cast<std::size_t>(std::min<std::int64_t>(room, kCopyChunk)))
                         : archive_read_data(a, &spare, 1);
            if (room <= 0 && n > 0) {
                code = SPI_OUT_OF_ORDER;
                break;
            }
        } else {
            n = archive_read_data(a, chunk.data(), chunk.size());
            if (n > 0) {
                if (static_cast<std::int64_t>(collected.size()) + n > kMaxMemoryMember) {
                    code = SPI_NO_MEMORY;
                    break;
                }
                collected.insert(collected.end(), chunk.data(), chunk.data() + n);
            }
        }
        if (n == 0) {
            break;
        }
        if (n < 0) {
            code = dataError(entry);
            break;
        }
        done += n;
        if (progress.abort(done)) {
            code = SPI_ABORT;
            break;
        }
    }
    if (code == SPI_ALL_RIGHT && known && done != declared) {
        code = SPI_OUT_OF_ORDER; // the data ends before the size its header gives
    }
    if (code == SPI_ALL_RIGHT && !known) {
        block = SpiAlloc(collected.size());
        if (block == nullptr) {
            code = SPI_NO_MEMORY;
        } else if (!collected.empty()) {
            std::memcpy(block, collected.data(), collected.size());
        }
    }
    if (code != SPI_ALL_RIGHT) {
        SpiFree(block);
        return code;
    }
    *dest = block;
    return SPI_ALL_RIGHT;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the member into `folder` under its file name. The bytes go to a
// temporary file first, so a failed extraction never leaves a partial file
// in place of an existing one.
int extractToFolder(archive* a, archive_entry* entry, const std::string& fileName,
                    const char* folder, const Progress& progress) {
    if (fileName.empty() || fileName == "." || fileName == ".." ||
        fileName.find('/') != std::string::npos) {
        return SPI_NOT_SUPPORT;
    }
    const std::string base = std::string(folder) + (*folder != '\0' ? "/" : "");
    std::string temporary = base + ".vemra-extract-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return SPI_OTHER_ERROR;
    }
    std::vector<char> chunk(kCopyChunk);
    std::int64_t done = 0;
    int code = SPI_ALL_RIGHT;
    for (;;) {
        const la_ssize_t n = archive_read_data(a, chunk.data(), chunk.size());
        if (n == 0) {
            break;
        }
        if (n < 0) {
            code = dataError(entry);
            break;
        }
        done += n;
        if (done > kMaxFolderMember) {
            code = SPI_NO_MEMORY;
            break;
        }
        if (!writeAll(fd, chunk.data(), static_cast<std::size_t>(n))) {
            code = SPI_OTHER_ERROR;
            break;
        }
        if (progress.abort(done)) {
            code = SPI_ABORT;
            break;
        }
    }
    if (code == SPI_ALL_RIGHT) {
        ::fchmod(
            fd, 0644 & ~[] {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                return mask;
            }());
        if (archive_entry_mtime_is_set(entry)) {
            const timespec times[2] = {{archive_entry_mtime(entry), 0},
                                       {archive_entry_mtime(entry), 0}};
            ::futimens(fd, times);
        }
    }
    if (::close(fd) != 0 && code == SPI_ALL_RIGHT) {
        code = SPI_OTHER_ERROR;
    }
    if (code == SPI_ALL_RIGHT && ::rename(temporary.c_str(), (base + fileName).c_str()) != 0) {
        code = SPI_OTHER_ERROR;
    }
    if (code != SPI_ALL_RIGHT) {
        ::unlink(temporary.c_str());
    }
    return code;
}

// --- Identification -------------------------------------------------------

bool startsWith(const std::vector<std::uint8_t>& b, std::size_t at, const char* magic,
                std::size_t length) {
    return b.size() >= at + length && std::memcmp(b.data() + at, magic, length) == 0;
}

bool hasArchiveMagic(const std::vector<std::uint8_t>& b) {
    return startsWith(b, 0, "PK\3\4", 4) || startsWith(b, 0, "PK\5\6", 4) ||
           startsWith(b, 0, "PK00PK\3\4", 8) || startsWith(b, 0, "7z\xBC\xAF\x27\x1C", 6) ||
           startsWith(b, 0, "Rar!\x1A\x07", 6) || startsWith(b, 0, "MSCF\0\0\0\0", 8) ||
           startsWith(b, 257, "ustar", 5) ||
           (b.size() >= 7 && b[2] == '-' && b[3] == 'l' && (b[4] == 'h' || b[4] == 'z') &&
            b[6] == '-');
}

// True when libarchive reads a first header from the reader.
bool probe(ArchiveReader& reader, int opened) {
    if (opened != SPI_ALL_RIGHT) {
        return false;
    }
    archive_entry* entry = nullptr;
    return reader.next(entry) == 1;
}

int isSupported(const char* filename, const void* header) {
    const Header h = readHeader(header);
    if (h.bytes.empty()) {
        return 0;
    }
    if (hasArchiveMagic(h.bytes)) {
        return 1;
    }
    // Compressed tar files and disc images can only be told by reading
    // further than the header: through the descriptor, or through the file
    // itself when its start is the header we were given.
    int fd = h.fd;
    int ownFd = -1;
    if (fd < 0 && filename != nullptr) {
        ownFd = ::open(filename, O_RDONLY | O_CLOEXEC);
        if (ownFd >= 0) {
            std::vector<std::uint8_t> start(h.bytes.size());
            const ssize_t n = ::pread(ownFd, start.data(), start.size(), 0);
            if (n == static_cast<ssize_t>(start.size()) && start == h.bytes) {
                fd = ownFd;
            }
        }
    }
    bool found = false;
    if (fd >= 0) {
        const off_t position = h.fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : 0;
        ArchiveReader reader;
        found = position >= 0 && probe(reader, reader.openDescriptor(fd, position));
    } else {
        ArchiveReader reader;
        found = probe(reader, reader.openMemory(h.bytes.data(), h.bytes.size()));
    }
    if (ownFd >= 0) {
        ::close(ownFd);
    }
    return found ? 1 : 0;
}

// --- The three archive operations ------------------------------------------

// Runs `operation` on a fresh reader; when it fails on an LHA archive, runs
// it once more with names read as Shift-JIS.
template <typename Operation> int withLegacyRetry(Operation operation) {
    bool lha = false;
    {
        ArchiveReader reader;
        const int code = operation(reader);
        if (code == SPI_ALL_RIGHT || code == SPI_ABORT || code == SPI_END_OF_FILE ||
            !reader.isLha()) {
            return code;
        }
        lha = true;
    }
    ArchiveReader legacy;
    legacy.setLegacyNames(lha);
    return operation(legacy);
}

int listMembers(ArchiveReader& reader, const char* buf, intptr_t len, unsigned flag,
                SpiHandle* list) {
    int code = reader.open(buf, len, flag);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    std::vector<ArchiveEntry> members;
    archive_entry* entry = nullptr;
    int status;
    while ((status = reader.next(entry)) == 1) {
        if (!isRegularFile(entry)) {
            continue;
        }
        if (members.size() >= kMaxMembers) {
            status = -SPI_NO_MEMORY;
            break;
        }
        const std::int64_t size = memberSize(reader.get(), entry);
        if (size < 0) {
            status = -SPI_OUT_OF_ORDER;
            break;
        }
        members.emplace_back();
        fillEntry(reader.get(), entry, reader.index(), memberName(entry), size, members.back());
    }
    code = -status;
    if (code == SPI_NOT_SUPPORT) {
        return code; // not an archive at all
    }
    // The members read before a fault are still handed over, with the answer
    // hosts take as "damaged, but here is what could be read".
    if (code != SPI_ALL_RIGHT) {
        code = SPI_NOT_SUPPORT;
    }
    SpiHandle block = SpiAlloc((members.size() + 1) * sizeof(ArchiveEntry));
    if (block == nullptr) {
        return SPI_NO_MEMORY;
    }
    if (!members.empty()) {
        std::memcpy(block, members.data(), members.size() * sizeof(ArchiveEntry));
    }
    *list = block;
    return code;
}

int findMember(ArchiveReader& reader, const char* buf, intptr_t len, unsigned flag,
               const char* filename, ArchiveEntry& info) {
    std::string wanted = filename;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    const bool ignoreCase = (flag & SPI_IGNORE_CASE) != 0;
    const int code = reader.open(buf, len, flag);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    archive_entry* entry = nullptr;
    int status;
    while ((status = reader.next(entry)) == 1) {
        if (!isRegularFile(entry)) {
            continue;
        }
        const std::string name = memberName(entry);
        if (sameName(name, wanted, ignoreCase)) {
            const std::int64_t size = memberSize(reader.get(), entry);
            if (size < 0) {
                return SPI_OUT_OF_ORDER;
            }
            fillEntry(reader.get(), entry, reader.index(), name, size, info);
            return SPI_ALL_RIGHT;
        }
    }
    return status == 0 ? SPI_END_OF_FILE : -status;
}

// Walks from where the reader stands to the member at `position` and
// extracts it.
int extractFrom(ArchiveReader& reader, intptr_t position, void* dest, unsigned destination,
                ProgressCallback progress, intptr_t userData) {
    archive_entry* entry = nullptr;
    int status;
    while ((status = reader.next(entry)) == 1 && reader.index() < position) {
    }
    if (status != 1) {
        return status == 0 ? SPI_END_OF_FILE : -status;
    }
    if (!isRegularFile(entry)) {
        return SPI_END_OF_FILE;
    }
    const std::int64_t total = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
    const Progress report(progress, userData, total);
    if (report.abort(0)) {
        return SPI_ABORT;
    }
    if (destination == SPI_DEST_MEMORY) {
        return extractToMemory(reader.get(), entry, static_cast<SpiHandle*>(dest), report);
    }
    std::string name = memberName(entry);
    name = name.substr(name.rfind('/') + 1);
    return extractToFolder(reader.get(), entry, name, static_cast<const char*>(dest), report);
}

int extractMember(ArchiveReader& reader, const char* src, intptr_t position, void* dest,
                  unsigned destination, ProgressCallback progress, intptr_t userData) {
    const int code = reader.open(src, 0, SPI_SOURCE_FILE);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    return extractFrom(reader, position, dest, destination, progress, userData);
}

// --- The reader kept between members ---------------------------------------
//
// Members are mostly asked for in the order the list gives them: the folder
// scan identifies one after the other, and thumbnails follow the list. A
// reader can only walk forwards from the archive's start, so asking for each
// member afresh made unpacking every member of a large archive take time in
// the square of its count. The reader of the last member unpacked into
// memory is kept, and a member further on is reached from there. It is used
// only while the archive file is the very same, unchanged.

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FileIdentity> identityOf(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

struct KeptReader {
    std::unique_ptr<ArchiveReader> reader;
    std::string path;
    FileIdentity identity;
};

std::mutex g_keptMutex;
KeptReader g_kept;

// Unpacks a member into memory, from the kept reader when it stands before
// the member; nullopt when the ordinary way must do it (an LHA archive that
// may need its names read as Shift-JIS, or a reader that cannot be opened).
std::optional<int> extractKept(const char* src, intptr_t position, void* dest,
                               ProgressCallback progress, intptr_t userData) {
    const std::optional<FileIdentity> identity = identityOf(src);
    if (!identity) {
        return std::nullopt;
    }
    const std::lock_guard lock(g_keptMutex);
    std::unique_ptr<ArchiveReader> reader = std::move(g_kept.reader);
    if (reader == nullptr || g_kept.path != src || !(g_kept.identity == *identity) ||
        reader->index() >= position) {
        reader = std::make_unique<ArchiveReader>();
        if (reader->open(src, 0, SPI_SOURCE_FILE) != SPI_ALL_RIGHT) {
            return std::nullopt;
        }
    }
    const int code = extractFrom(*reader, position, dest, SPI_DEST_MEMORY, progress, userData);
    // As withLegacyRetry: an LHA archive that fails is read again with its
    // names as Shift-JIS, the ordinary way.
    if (code != SPI_ALL_RIGHT && code != SPI_ABORT && code != SPI_END_OF_FILE && reader->isLha()) {
        return std::nullopt;
    }
    if (code == SPI_ALL_RIGHT) {
        g_kept = {std::move(reader), src, *identity};
    }
    return code;
}

} // namespace

extern "C" {

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    return guarded([&]() -> int {
        const ThreadUtf8Locale utf8;
        const std::string text =
            std::string("Archive plug-in for Vemra (") + archive_version_string() + ")";
        return writeInfo({"00AM", text, "*.zip;*.cbz", "ZIP", "*.7z;*.cb7", "7-Zip", "*.rar;*.cbr",
                          "RAR", "*.lzh;*.lha", "LHA",
                          "*.tar;*.tgz;*.tar.gz;*.tbz;*.tbz2;*.tar.bz2;*.txz;*.tar.xz;*.tar.zst",
                          "tar", "*.cab", "Cabinet", "*.iso", "ISO 9660", "*.cpio", "cpio"},
                         index, buf, buflen);
    });
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    return guarded([&]() -> int { return isSupported(filename, header); });
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, SpiHandle* list) {
    return guarded([&]() -> int {
        const ThreadUtf8Locale utf8;
        if (list == nullptr) {
            return SPI_NO_FUNCTION;
        }
        *list = nullptr;
        return withLegacyRetry([&](ArchiveReader& reader) {
            SpiFree(*list);
            *list = nullptr;
            return listMembers(reader, buf, len, flag, list);
        });
    });
}

SPI_EXPORT int GetFileInfo(const char* buf, intptr_t len, const char* filename, unsigned int flag,
                           ArchiveEntry* info) {
    return guarded([&]() -> int {
        const ThreadUtf8Locale utf8;
        if (info == nullptr || filename == nullptr) {
            return SPI_NO_FUNCTION;
        }
        return withLegacyRetry([&](ArchiveReader& reader) {
            return findMember(reader, buf, len, flag, filename, *info);
        });
    });
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, void* dest, unsigned int flag,
                       ProgressCallback progress, intptr_t user_data) {
    return guarded([&]() -> int {
        const ThreadUtf8Locale utf8;
        // The position travels in `len`, so the archive is read from the
        // start of a file; there is no way to name a member of memory data.
        if ((flag & SPI_SOURCE_MASK) != SPI_SOURCE_FILE || dest == nullptr || len < 0) {
            return SPI_NO_FUNCTION;
        }
        const unsigned destination = flag & SPI_DEST_MASK;
        if (destination != SPI_DEST_MEMORY && destination != SPI_DEST_FOLDER) {
            return SPI_NO_FUNCTION;
        }
        if (destination == SPI_DEST_MEMORY) {
            *static_cast<SpiHandle*>(dest) = nullptr;
            if (const std::optional<int> code = extractKept(src, len, dest, progress, user_data)) {
                return *code;
            }
        }
        return withLegacyRetry([&](ArchiveReader& reader) {
            return extractMember(reader, src, len, dest, destination, progress, user_data);
        });
    });
}

} // extern "C"
