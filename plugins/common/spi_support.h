#pragma once

// Helpers shared by the plug-ins shipped with Vemra. They depend on nothing
// but the C++ library and spi.h, so each plug-in stays a small, self-contained
// shared object.

#include <vemra/spi.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra::spi {

// GetPluginInfo over a fixed table of entries: copies entry `index` into
// `buf` (truncated to fit, always NUL-terminated) and returns its length, or
// 0 when the index is out of range or the buffer unusable.
int writeInfo(std::initializer_list<std::string_view> entries, int index, char* buf, int buflen);

// Runs an export body, turning escaping C++ exceptions into result codes: no
// exception may unwind into the host.
template <typename Body> int guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

// The first bytes of a file as IsSupported receives them: either a pointer to
// SPI_HEADER_BYTES bytes, or a file descriptor (left at its position).
struct Header {
    std::vector<std::uint8_t> bytes;
    int fd = -1; // the descriptor when IsSupported got one
};
Header readHeader(const void* header);

// The bytes of a source, for plug-ins that decode from memory: memory sources
// are used in place, files are read from the given offset. Files larger than
// `cap` bytes are refused with SPI_NO_MEMORY.
struct SourceBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::vector<std::uint8_t> owned;
};
int readSource(const char* buf, intptr_t len, unsigned flag, std::size_t cap, SourceBytes& out);

// The two blocks of a 24-bit bottom-up picture: a 40-byte header and zeroed
// pixel rows padded to 4 bytes. Refuses (SPI_NO_MEMORY / SPI_OUT_OF_ORDER)
// sizes of no picture or above kMaxPixels.
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
struct Dib24 {
    SpiHandle info = nullptr;
    SpiHandle pixels = nullptr;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;

    Dib24() = default;
    Dib24(const Dib24&) = delete;
    Dib24& operator=(const Dib24&) = delete;
    ~Dib24();
    // Row y counted from the top of the picture.
    std::uint8_t* rowFromTop(int y) const {
        return static_cast<std::uint8_t*>(pixels) +
               static_cast<std::size_t>(height - 1 - y) * stride;
    }
    // Hands both blocks to the host.
    void release(SpiHandle* infoOut, SpiHandle* pixelsOut);
};
int allocateDib24(int width, int height, Dib24& out);

// Copies one top-down row of 8-bit RGB or RGBA (`channels` 3 or 4) into a
// BGR row, laying pixels with alpha over white.
void storeRowBgr(const std::uint8_t* source, int channels, int width, std::uint8_t* out);

// Calls the progress callback (when there is one); true when it asks to stop.
bool shouldAbort(ProgressCallback progress, int done, int total, intptr_t userData);

// Makes the calling thread use a UTF-8 character set for as long as it
// lives, without touching the host's process-wide locale: libraries that
// convert names through the locale (libarchive does) then produce UTF-8 even
// in a host running in the "C" locale.
class ThreadUtf8Locale {
public:
    ThreadUtf8Locale();
    ~ThreadUtf8Locale();
    ThreadUtf8Locale(const ThreadUtf8Locale&) = delete;
    ThreadUtf8Locale& operator=(const ThreadUtf8Locale&) = delete;

private:
    void* m_utf8 = nullptr;
    void* m_previous = nullptr;
};

// True when `text` is valid UTF-8.
bool isUtf8(std::string_view text);
// Text from a file name field of unknown encoding: valid UTF-8 as it is,
// otherwise read as Shift-JIS (CP932); bytes that are neither become "?".
std::string toUtf8(std::string_view text);

} // namespace vemra::spi
