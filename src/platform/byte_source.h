#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vemra {

// Random-access reading of untrusted bytes, from memory or from a file, so
// that one parser serves both. readAt() never reads past size() and fails
// rather than returning fewer bytes than asked for.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual bool readAt(std::uint64_t offset, std::span<std::byte> out) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::byte> bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    bool readAt(std::uint64_t offset, std::span<std::byte> out) const override;

private:
    std::span<const std::byte> m_bytes;
};

class FileSource final : public ByteSource {
public:
    // Opens a regular file for reading; nullopt when it cannot be opened or
    // is not a regular file (a folder or a device never passes as a picture).
    static std::optional<FileSource> open(const std::string& path);

    FileSource(FileSource&& other) noexcept;
    FileSource& operator=(FileSource&& other) noexcept;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;

    std::uint64_t size() const override { return m_size; }
    bool readAt(std::uint64_t offset, std::span<std::byte> out) const override;

private:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}

    int m_fd = -1;
    std::uint64_t m_size = 0;
};

} // namespace vemra
