#include "archive_reader.h"

#include "../common/spi_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vemra::spi {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// A header loop that goes on this long is reading a hostile archive.
constexpr int kMaxHeaders = 1 << 20;

} // namespace

ArchiveReader::~ArchiveReader() {
    if (m_archive != nullptr) {
        archive_read_free(m_archive);
    }
    if (m_ownsFd && m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ArchiveReader::create() {
    m_archive = archive_read_new();
    if (m_archive == nullptr) {
        return false;
    }
    // Only formats and filters libarchive decodes itself: no external
    // programs are ever started for hostile input, and no format (such as
    // mtree or raw) that would take any text or any file for an archive.
    archive_read_support_format_zip(m_archive);
    archive_read_support_format_7zip(m_archive);
    archive_read_support_format_rar(m_archive);
    archive_read_support_format_rar5(m_archive);
    archive_read_support_format_lha(m_archive);
    archive_read_support_format_tar(m_archive);
    archive_read_support_format_cab(m_archive);
    archive_read_support_format_iso9660(m_archive);
    archive_read_support_format_cpio(m_archive);
    archive_read_support_filter_gzip(m_archive);
    archive_read_support_filter_bzip2(m_archive);
    archive_read_support_filter_xz(m_archive);
    archive_read_support_filter_lzma(m_archive);
    archive_read_support_filter_lzip(m_archive);
    archive_read_support_filter_zstd(m_archive);
    archive_read_support_filter_lz4(m_archive);
    archive_read_support_filter_compress(m_archive);
    if (m_legacyNames) {
        archive_read_set_format_option(m_archive, "lha", "hdrcharset", "CP932");
    }
    return true;
}

bool ArchiveReader::isLha() const {
    return m_archive != nullptr &&
           (archive_format(m_archive) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_LHA;
}

int ArchiveReader::open(const char* buf, intptr_t len, unsigned flag) {
    if (buf == nullptr || len < 0) {
        return SPI_NOT_SUPPORT;
    }
    switch (flag & SPI_SOURCE_MASK) {
    case SPI_SOURCE_MEMORY:
        return openMemory(buf, static_cast<std::size_t>(len));
    case SPI_SOURCE_FILE: {
        const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return SPI_OTHER_ERROR;
        }
        m_ownsFd = true;
        m_fd = fd;
        return openDescriptor(fd, len);
    }
    default:
        return SPI_NO_FUNCTION;
    }
}

int ArchiveReader::openMemory(const void* data, std::size_t size) {
    if (!create()) {
        return SPI_NO_MEMORY;
    }
    if (archive_read_open_memory(m_archive, data, size) != ARCHIVE_OK) {
        return SPI_NOT_SUPPORT;
    }
    return SPI_ALL_RIGHT;
}

int ArchiveReader::openDescriptor(int fd, std::int64_t offset) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return SPI_FILE_READ_ERROR;
    }
    if (offset < 0 || offset > st.st_size) {
        return SPI_NOT_SUPPORT;
    }
    m_fd = fd;
    m_base = offset;
    m_size = st.st_size - offset;
    m_buffer.resize(kReadChunk);
    if (!create()) {
        return SPI_NO_MEMORY;
    }
    archive_read_set_read_callback(m_archive, readCallback);
    archive_read_set_seek_callback(m_archive, seekCallback);
    archive_read_set_skip_callback(m_archive, skipCallback);
    archive_read_set_callback_data(m_archive, this);
    if (archive_read_open1(m_archive) != ARCHIVE_OK) {
        return SPI_NOT_SUPPORT;
    }
    return SPI_ALL_RIGHT;
}

la_ssize_t ArchiveReader::readCallback(archive* a, void* self, const void** out) {
    auto* r = static_cast<ArchiveReader*>(self);
    const std::int64_t left = r->m_size - r->m_position;
    if (left <= 0) {
        return 0;
    }
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(r->m_buffer.size())));
    ssize_t n;
    do {
        n = ::pread(r->m_fd, r->m_buffer.data(), want, r->m_base + r->m_position);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        archive_set_error(a, errno, "read error");
        return -1;
    }
    r->m_position += n;
    *out = r->m_buffer.data();
    return n;
}

la_int64_t ArchiveReader::seekCallback(archive*, void* self, la_int64_t offset, int whence) {
    auto* r = static_cast<ArchiveReader*>(self);
    std::int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = r->m_position + offset;
        break;
    case SEEK_END:
        target = r->m_size + offset;
        break;
    default:
        return ARCHIVE_FATAL;
    }
    if (target < 0) {
        return ARCHIVE_FATAL;
    }
    r->m_position = std::min(target, r->m_size);
    return r->m_position;
}

la_int64_t ArchiveReader::skipCallback(archive*, void* self, la_int64_t request) {
    auto* r = static_cast<ArchiveReader*>(self);
    const std::int64_t step = std::clamp<std::int64_t>(request, 0, r->m_size - r->m_position);
    r->m_position += step;
    return step;
}

int ArchiveReader::next(archive_entry*& entry) {
    if (m_index + 1 >= kMaxHeaders) {
        return -SPI_OUT_OF_ORDER;
    }
    const int status = archive_read_next_header(m_archive, &entry);
    if (status == ARCHIVE_EOF) {
        return 0;
    }
    if (status < ARCHIVE_WARN) {
        return m_index < 0 ? -SPI_NOT_SUPPORT : -SPI_OUT_OF_ORDER;
    }
    ++m_index;
    return 1;
}

std::string memberName(archive_entry* entry) {
    // The UTF-8 form when libarchive has one that is valid; otherwise the
    // bytes as stored, read as Shift-JIS when they are not UTF-8.
    std::string name;
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (utf8 != nullptr && isUtf8(utf8)) {
        name = utf8;
    } else if (const char* stored = archive_entry_pathname(entry)) {
        name = toUtf8(stored);
    }
    // Archives made on Windows may separate folders with "\"; after the
    // conversion above no Shift-JIS trail byte can be mistaken for one.
    std::replace(name.begin(), name.end(), '\\', '/');
    std::size_t start = 0;
    while (start < name.size()) {
        if (name[start] == '/') {
            ++start;
        } else if (name.compare(start, 2, "./") == 0) {
            start += 2;
        } else {
            break;
        }
    }
    name.erase(0, start);
    return name;
}

} // namespace vemra::spi
