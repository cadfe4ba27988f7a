#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace vemra {

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_mapping(std::exchange(other.m_mapping, nullptr)),
      m_mappingSize(std::exchange(other.m_mappingSize, 0)),
      m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        release();
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappingSize = std::exchange(other.m_mappingSize, 0);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

MappedFile::~MappedFile() {
    release();
}

void MappedFile::release() noexcept {
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_mappingSize);
    }
    m_mapping = nullptr;
    m_mappingSize = 0;
    m_data = nullptr;
    m_size = 0;
}

std::optional<MappedFile> MappedFile::open(const std::string& path, std::uint64_t offset,
                                           Error* error) {
    auto fail = [error](Error e) {
        if (error != nullptr) {
            *error = e;
        }
        return std::nullopt;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail(Error::Open);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(Error::Open);
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (offset > fileSize) {
        ::close(fd);
        return fail(Error::Read);
    }
    MappedFile file;
    if (fileSize == offset) {
        ::close(fd);
        return file;
    }
    // mmap wants a page-aligned offset; map from the page holding `offset`.
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset / page * page;
    const std::uint64_t length = fileSize - start;
    if (length > SIZE_MAX) {
        ::close(fd);
        return fail(Error::Read);
    }
    void* mapping = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd,
                           static_cast<off_t>(start));
    ::close(fd);
    if (mapping == MAP_FAILED) {
        return fail(Error::Read);
    }
    file.m_mapping = mapping;
    file.m_mappingSize = static_cast<std::size_t>(length);
    file.m_data = static_cast<const std::byte*>(mapping) + (offset - start);
    file.m_size = static_cast<std::size_t>(fileSize - offset);
    if (error != nullptr) {
        *error = Error::None;
    }
    return file;
}

} // namespace vemra
