#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// A scratch file without a name that holds bytes a program would otherwise
// keep in memory: appended once, read back by offset, gone with the object
// (also when the program dies). It lives in a folder the caller chooses, so
// that it takes disk rather than memory (a /tmp on tmpfs would not).
class SpoolFile {
public:
    SpoolFile() = default;
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;
    SpoolFile(SpoolFile&& other) noexcept;
    SpoolFile& operator=(SpoolFile&& other) noexcept;

    // Makes the file in `folder`; false when the folder cannot hold one.
    bool create(const std::string& folder);
    bool isOpen() const { return m_fd >= 0; }

    // Appends `bytes`; their offset, or -1 when they could not be written
    // whole (the file then stays as it was for every earlier offset).
    std::int64_t append(std::span<const std::byte> bytes);
    // Reads `size` bytes at `offset` into `out`; false when they are not
    // all there.
    bool read(std::int64_t offset, std::size_t size, std::vector<std::byte>& out) const;
    std::int64_t size() const { return m_size; }

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
};

} // namespace vemra
