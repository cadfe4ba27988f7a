#include "imaging/identify_header.h"

#include <vemra/spi.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace vemra {

std::vector<std::byte> readIdentifyHeader(const std::string& path, int fd, std::int64_t offset) {
    std::vector<std::byte> header(kIdentifyHeaderBytes);
    int own = -1;
    if (fd < 0) {
        own = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (own < 0) {
            return {};
        }
        fd = own;
    }
    const ssize_t got = ::pread(fd, header.data(), header.size(), static_cast<off_t>(offset));
    if (own >= 0) {
        ::close(own);
    }
    if (got <= 0) {
        return {};
    }
    header.resize(static_cast<std::size_t>(got));
    return header;
}

std::vector<std::byte> paddedIdentifyHeader(std::span<const std::byte> header) {
    std::vector<std::byte> out(std::max<std::size_t>(header.size(), SPI_HEADER_BYTES));
    std::copy(header.begin(), header.end(), out.begin());
    return out;
}

} // namespace vemra
