#include "imaging/decoder_source.h"

#include "platform/byte_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vemra {

ResultCode SourceBytes::open(const char* source, std::intptr_t offsetOrLength, unsigned mode) {
    switch (sourceMode(mode)) {
    case SPI_SOURCE_FILE: {
        if (source == nullptr || offsetOrLength < 0) {
            return ResultCode::OpenFailure;
        }
        MappedFile::Error error = MappedFile::Error::None;
        m_file = MappedFile::open(source, static_cast<std::uint64_t>(offsetOrLength), &error);
        if (!m_file) {
            return error == MappedFile::Error::Open ? ResultCode::OpenFailure
                                                    : ResultCode::ReadError;
        }
        m_bytes = m_file->bytes();
        m_fromFile = true;
        return ResultCode::Success;
    }
    case SPI_SOURCE_MEMORY:
        if (source == nullptr || offsetOrLength < 0) {
            return ResultCode::InvalidData;
        }
        m_bytes = std::span(reinterpret_cast<const std::byte*>(source),
                            static_cast<std::size_t>(offsetOrLength));
        return ResultCode::Success;
    default:
        return ResultCode::Failure;
    }
}

ResultCode SourceBytes::openWhole(const char* source, std::intptr_t offsetOrLength, unsigned mode) {
    if (sourceMode(mode) != SPI_SOURCE_FILE || source == nullptr || offsetOrLength < 0)
        return open(source, offsetOrLength, mode);
    const auto offset = static_cast<std::uint64_t>(offsetOrLength);
    if (const auto file = FileSource::open(source);
        file && offset <= file->size() && file->size() - offset <= kMaxReadBytes) {
        const auto length = static_cast<std::size_t>(file->size() - offset);
        auto copy = std::make_unique_for_overwrite<std::byte[]>(std::max<std::size_t>(length, 1));
        if (file->readAt(offset, std::span(copy.get(), length))) {
            m_copy = std::move(copy);
            m_bytes = std::span<const std::byte>(m_copy.get(), length);
            m_fromFile = true;
            return ResultCode::Success;
        }
    }
    // Not readable as it stands (gone, shrunk, an offset past its end, too
    // large): the mapping gives the result code, or maps what is there now.
    return open(source, offsetOrLength, mode);
}

std::optional<IdentifyHeader> readIdentifyHeader(const void* header) {
    IdentifyHeader out;
    const auto value = reinterpret_cast<std::uintptr_t>(header);
    if (value >= SPI_HEADER_FD_LIMIT) {
        std::memcpy(out.bytes.data(), header, kIdentifyHeaderBytes);
        out.length = kIdentifyHeaderBytes;
        return out;
    }
    const int fd = static_cast<int>(value);
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    std::size_t got = 0;
    while (got < kIdentifyHeaderBytes) {
        const ssize_t n = ::read(fd, out.bytes.data() + got, kIdentifyHeaderBytes - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (start >= 0) {
        ::lseek(fd, start, SEEK_SET);
    }
    if (got == 0) {
        return std::nullopt;
    }
    out.length = got;
    return out;
}

bool hasExtension(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(tail[i]) != lower(extension[i])) {
            return false;
        }
    }
    return true;
}

SpiHandle commentHandle(std::string_view text) {
    if (text.empty()) {
        return nullptr;
    }
    SpiHandle handle = SpiAlloc(text.size() + 1);
    if (handle != nullptr) {
        std::memcpy(handle, text.data(), text.size());
    }
    return handle;
}

} // namespace vemra
