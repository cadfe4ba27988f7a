#pragma once

#include "imaging/decoder.h"
#include "platform/mapped_file.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

// Helpers shared by the built-in decoders for reaching their input.
namespace vemra {

inline constexpr std::size_t kIdentifyHeaderBytes = SPI_HEADER_BYTES;

// The bytes of a picture source: a file mapped read-only from its offset, or
// the caller's memory block in place.
class SourceBytes {
public:
    // Opens the source. Mode 0 maps the file (OpenFailure when it cannot be
    // opened, ReadError when the offset is beyond its end); mode 1 uses the
    // memory (InvalidData for a null block or a negative length); other
    // modes give Failure.
    ResultCode open(const char* source, std::intptr_t offsetOrLength, unsigned mode);
    // The same for a decoder that reads every byte: a file is read into
    // memory instead of mapped. Touching a fresh mapping costs a page fault
    // per 4 KiB, which made a thumbnail's JPEG decode about 8 % slower than
    // the library decoding from memory; and a file cut short meanwhile
    // cannot kill the process. Files larger than kMaxReadBytes (where a
    // copy would hold much memory a mapping leaves to the page cache), and
    // files that cannot be read in full, are mapped as open() does.
    ResultCode openWhole(const char* source, std::intptr_t offsetOrLength, unsigned mode);

    std::span<const std::byte> bytes() const { return m_bytes; }
    bool fromFile() const { return m_fromFile; }

    static constexpr std::uint64_t kMaxReadBytes = 64u << 20;

private:
    std::optional<MappedFile> m_file;
    std::unique_ptr<std::byte[]> m_copy;
    std::span<const std::byte> m_bytes;
    bool m_fromFile = false;
};

// The source mode in the low bits of a mode word.
inline unsigned sourceMode(unsigned mode) {
    return mode & SPI_SOURCE_MASK;
}

// The first 2048 bytes handed to identification, zero-padded when the data
// is shorter: copied from the header pointer, or read from the descriptor,
// whose position is put back afterwards. `length` is how many bytes were
// really there (2048 for a pointer).
struct IdentifyHeader {
    std::array<std::byte, kIdentifyHeaderBytes> bytes{};
    std::size_t length = 0;

    std::span<const std::byte> view() const { return std::span(bytes).first(length); }
};
std::optional<IdentifyHeader> readIdentifyHeader(const void* header);

// True when `name` ends with `extension` (given with its dot), ignoring case.
bool hasExtension(std::string_view name, std::string_view extension);

// A copy of `text` in a new plug-in memory block, with a terminating zero;
// null for empty text.
SpiHandle commentHandle(std::string_view text);

// Calls `progress` (when set); true when it asks to stop.
inline bool progressAborts(const DecodeOptions& options, int done, int total) {
    return options.progress != nullptr && options.progress(done, total, options.userData) != 0;
}

} // namespace vemra
