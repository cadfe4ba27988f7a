#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vemra {

// A regular file mapped read-only into memory, from a byte offset to its end.
// Decoders read pictures through it instead of copying them; the mapping is
// released with the object. An empty remainder (a zero-length file, or an
// offset at the end) maps nothing and gives empty bytes().
class MappedFile {
public:
    enum class Error { None, Open, Read };

    MappedFile() noexcept = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // Maps `path` from `offset`. Error::Open when the file cannot be opened or
    // is not a regular file, Error::Read when the offset lies beyond its end
    // or the mapping fails.
    static std::optional<MappedFile> open(const std::string& path, std::uint64_t offset = 0,
                                          Error* error = nullptr);

    std::span<const std::byte> bytes() const noexcept { return {m_data, m_size}; }
    std::size_t size() const noexcept { return m_size; }

private:
    void release() noexcept;

    void* m_mapping = nullptr;
    std::size_t m_mappingSize = 0;
    const std::byte* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace vemra
