#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The packed device-independent bitmap: a 40-byte information header (or the
// older 12-byte core header), a colour table, then pixel rows stored bottom-up,
// each padded to a multiple of 4 bytes. Decoders, plug-ins, encoders and the
// caches exchange this layout byte for byte.
namespace vemra {

inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kCoreHeaderSize = 12;
// Headers of other sizes are read as 24-bit pictures; a header claiming more
// than this is not a picture header at all.
inline constexpr std::uint32_t kMaxHeaderSize = 4096;
// No picture has more pixels than this; larger claims are hostile or broken.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;
// Deep pictures may carry a colour table; more entries than this are refused.
inline constexpr std::uint32_t kMaxDeepColourEntries = 65536;

enum class Compression : std::uint32_t {
    None = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3,
};

// The fields of a header as stored. A core header is widened on reading (its
// missing fields are zero); a header of another size reads as 24 bits without
// compression, with only width and height taken from it.
struct DibHeader {
    std::uint32_t headerSize = kInfoHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;

    // nullopt when `bytes` is shorter than the header it starts.
    static std::optional<DibHeader> read(std::span<const std::byte> bytes);
    // Writes a 40-byte information header (headerSize is written as 40).
    void write(std::span<std::byte> out) const;
};

// Everything derived from a header, checked: describe() succeeds only for a
// header whose sizes are sane and whose block fits in memory.
struct DibLayout {
    std::uint32_t headerSize = 0;
    int width = 0;
    int height = 0;       // magnitude; see topDown
    bool topDown = false; // a negative stored height
    int bitCount = 0;     // as the pixels are read: 0 and foreign headers give 24
    int storageBits = 0;  // bitCount rounded up to 1, 4, 8, 16, 24 or 32
    Compression compression = Compression::None;
    int colourEntries = 0;
    std::size_t entryBytes = 4;       // 3 under a core header
    std::size_t colourTableBytes = 0; // including the 12 mask bytes of BitFields
    // Bit-field masks come right after the header, as Windows lays them out,
    // and any colour table after the masks.
    std::size_t tableOffset = 0;
    std::size_t rowBytes = 0;
    std::size_t imageBytes = 0;
    std::size_t pixelOffset = 0; // header + colour table
    std::size_t totalBytes = 0;  // pixelOffset + imageBytes

    bool isCore() const { return headerSize == kCoreHeaderSize; }

    static std::optional<DibLayout> describe(std::span<const std::byte> headerBytes);
    static std::optional<DibLayout> describe(const DibHeader& header);
};

// `bits` rounded up to a stored depth: 1, 4, 8, 16, 24 or 32.
int dibStorageBits(int bits);

// Row bytes for `bits` per pixel (rounded up to a stored depth).
std::size_t dibRowBytes(int bits, std::int64_t width);

} // namespace vemra
