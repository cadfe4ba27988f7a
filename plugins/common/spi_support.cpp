#include "spi_support.h"

#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vemra::spi {

int writeInfo(std::initializer_list<std::string_view> entries, int index, char* buf, int buflen) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size() || buf == nullptr ||
        buflen <= 0) {
        return 0;
    }
    const std::string_view text = entries.begin()[index];
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(buflen - 1));
    std::memcpy(buf, text.data(), length);
    buf[length] = '\0';
    return static_cast<int>(length);
}

namespace {

bool preadFully(int fd, std::uint8_t* out, std::size_t count, off_t offset, std::size_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, out + got, count - got, offset + static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Header readHeader(const void* header) {
    Header h;
    const auto value = reinterpret_cast<std::uintptr_t>(header);
    if (value < SPI_HEADER_FD_LIMIT) {
        const int fd = static_cast<int>(value);
        const off_t position = ::lseek(fd, 0, SEEK_CUR);
        if (position < 0) {
            return h;
        }
        h.fd = fd;
        h.bytes.resize(SPI_HEADER_BYTES);
        std::size_t got = 0;
        if (!preadFully(fd, h.bytes.data(), h.bytes.size(), position, got)) {
            got = 0;
        }
        h.bytes.resize(got);
        return h;
    }
    const auto* p = static_cast<const std::uint8_t*>(header);
    h.bytes.assign(p, p + SPI_HEADER_BYTES);
    return h;
}

int readSource(const char* buf, intptr_t len, unsigned flag, std::size_t cap, SourceBytes& out) {
    out = {};
    if (buf == nullptr || len < 0) {
        return SPI_NOT_SUPPORT;
    }
    switch (flag & SPI_SOURCE_MASK) {
    case SPI_SOURCE_MEMORY:
        out.data = reinterpret_cast<const std::uint8_t*>(buf);
        out.size = static_cast<std::size_t>(len);
        return SPI_ALL_RIGHT;
    case SPI_SOURCE_FILE:
        break;
    default:
        return SPI_NO_FUNCTION;
    }
    const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return SPI_OTHER_ERROR;
    }
    struct stat st {};
    int code = SPI_ALL_RIGHT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        code = SPI_FILE_READ_ERROR;
    } else if (len > st.st_size) {
        code = SPI_NOT_SUPPORT;
    } else if (static_cast<std::uint64_t>(st.st_size - len) > cap) {
        code = SPI_NO_MEMORY;
    } else {
        out.owned.resize(static_cast<std::size_t>(st.st_size - len));
        std::size_t got = 0;
        if (!preadFully(fd, out.owned.data(), out.owned.size(), static_cast<off_t>(len), got)) {
            code = SPI_FILE_READ_ERROR;
        }
        out.owned.resize(got);
        out.data = out.owned.data();
        out.size = out.owned.size();
    }
    ::close(fd);
    return code;
}

Dib24::~Dib24() {
    SpiFree(info);
    SpiFree(pixels);
}

void Dib24::release(SpiHandle* infoOut, SpiHandle* pixelsOut) {
    *infoOut = info;
    *pixelsOut = pixels;
    info = nullptr;
    pixels = nullptr;
}

namespace {

void storeLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

} // namespace

int allocateDib24(int width, int height, Dib24& out) {
    if (width <= 0 || height <= 0) {
        return SPI_OUT_OF_ORDER;
    }
    if (static_cast<std::int64_t>(width) * height > kMaxPixels) {
        return SPI_NO_MEMORY;
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t imageBytes = stride * static_cast<std::size_t>(height);
    SpiFree(out.info);
    SpiFree(out.pixels);
    out.info = SpiAlloc(40);
    out.pixels = SpiAlloc(imageBytes);
    if (out.info == nullptr || out.pixels == nullptr) {
        return SPI_NO_MEMORY;
    }
    auto* h = static_cast<std::uint8_t*>(out.info);
    storeLe32(h, 40);
    storeLe32(h + 4, static_cast<std::uint32_t>(width));
    storeLe32(h + 8, static_cast<std::uint32_t>(height));
    h[12] = 1;  // planes
    h[14] = 24; // bits per pixel
    storeLe32(h + 20, static_cast<std::uint32_t>(imageBytes));
    out.stride = stride;
    out.width = width;
    out.height = height;
    return SPI_ALL_RIGHT;
}

void storeRowBgr(const std::uint8_t* source, int channels, int width, std::uint8_t* out) {
    if (channels == 3) {
        for (int x = 0; x < width; ++x, source += 3, out += 3) {
            out[0] = source[2];
            out[1] = source[1];
            out[2] = source[0];
        }
        return;
    }
    for (int x = 0; x < width; ++x, source += 4, out += 3) {
        const unsigned a = source[3];
        const unsigned white = 255 * (255 - a);
        out[0] = static_cast<std::uint8_t>((source[2] * a + white + 127) / 255);
        out[1] = static_cast<std::uint8_t>((source[1] * a + white + 127) / 255);
        out[2] = static_cast<std::uint8_t>((source[0] * a + white + 127) / 255);
    }
}

bool shouldAbort(ProgressCallback progress, int done, int total, intptr_t userData) {
    return progress != nullptr && progress(done, total, userData) != 0;
}

ThreadUtf8Locale::ThreadUtf8Locale() {
    locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 != static_cast<locale_t>(nullptr)) {
        m_utf8 = utf8;
        m_previous = ::uselocale(utf8);
    }
}

ThreadUtf8Locale::~ThreadUtf8Locale() {
    if (m_utf8 != nullptr) {
        ::uselocale(static_cast<locale_t>(m_previous));
        ::freelocale(static_cast<locale_t>(m_utf8));
    }
}

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            cp = cp << 6 | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

std::string toUtf8(std::string_view text) {
    if (isUtf8(text)) {
        return std::string(text);
    }
    std::string out;
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (const char c : text) {
            out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
        }
        return out;
    }
    std::string input(text);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::vector<char> buffer(input.size() * 3 + 4);
    while (inLeft > 0) {
        char* o = buffer.data();
        std::size_t oLeft = buffer.size();
        const std::size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer.data(), buffer.size() - oLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // A byte that starts no Shift-JIS character: mark it and go on.
            out += '?';
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    ::iconv_close(cd);
    return out;
}

} // namespace vemra::spi
