#include "imaging/decoder_source.h"

#include <unistd.h>

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
