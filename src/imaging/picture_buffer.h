#pragma once

#include "imaging/dib_layout.h"
#include "platform/memory_block.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vemra {

// A colour as one integer: red in bits 0-7, green in 8-15, blue in 16-23.
using ColourWord = std::uint32_t;

constexpr ColourWord colourWord(int red, int green, int blue) {
    return static_cast<ColourWord>(red & 0xFF) | static_cast<ColourWord>(green & 0xFF) << 8 |
           static_cast<ColourWord>(blue & 0xFF) << 16;
}
constexpr int redOf(ColourWord c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(ColourWord c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
constexpr int blueOf(ColourWord c) {
    return static_cast<int>(c >> 16 & 0xFF);
}

// One picture in memory: a packed device-independent bitmap (see dib_layout.h)
// in a single owned block. Move-only; the block is freed with the object.
//
// Every query checks the header against the block's real size: a block whose
// header is absurd or describes more bytes than the block holds answers like
// a null picture (0, empty spans, isValid() false), so no caller can be led
// outside the block by a hostile header.
class PictureBuffer {
public:
    PictureBuffer() noexcept = default;
    PictureBuffer(PictureBuffer&&) noexcept = default;
    PictureBuffer& operator=(PictureBuffer&&) noexcept = default;
    PictureBuffer(const PictureBuffer&) = delete;
    PictureBuffer& operator=(const PictureBuffer&) = delete;

    // A zeroed block of `bytes` bytes to be filled by the caller (a reader or
    // a plug-in merge); null when the memory cannot be had.
    static PictureBuffer allocate(std::size_t bytes);
    // A blank picture: the given header (written as 40 bytes), a zero colour
    // table and zero pixels, block size exactly the layout's total bytes.
    // Null when the header does not describe a sane picture.
    static PictureBuffer create(const DibHeader& header);
    // A blank uncompressed picture of 1, 4, 8, 16, 24 or 32 bits; `colours`
    // is the colours-used field (0 = the full table for the depth). The image
    // size field is set to row bytes x height.
    static PictureBuffer create(int width, int height, int bitCount, int colours = 0);
    // A copy of raw block bytes, for instance a block received from a plug-in.
    static PictureBuffer fromBlock(std::span<const std::byte> bytes);
    // Takes `block` as it is, without copying (a picture received from the
    // plug-in host); check isValid() before trusting it.
    static PictureBuffer adopt(MemoryBlock block) noexcept {
        return PictureBuffer(std::move(block));
    }

    bool isNull() const noexcept { return m_block.empty(); }
    explicit operator bool() const noexcept { return !m_block.empty(); }
    // True when the header is sane and everything it describes lies inside
    // the block.
    bool isValid() const { return layout().has_value(); }
    std::optional<DibLayout> layout() const;

    // The whole block, header first.
    std::span<std::byte> block() noexcept { return m_block.bytes(); }
    std::span<const std::byte> block() const noexcept { return m_block.bytes(); }
    std::size_t blockSize() const noexcept { return m_block.size(); }
    // Grows or shrinks the block, keeping its start; false leaves it as it was.
    bool resizeBlock(std::size_t bytes) { return m_block.resize(bytes); }

    // Header queries; 0 for a null or invalid picture.
    int width() const;
    int height() const;
    int bitCount() const;
    Compression compression() const;
    int colourEntries() const;
    std::size_t colourTableBytes() const;
    std::size_t rowBytes() const;
    std::size_t imageBytes() const;
    std::size_t totalBytes() const;
    std::size_t pixelOffset() const;
    bool isCoreHeader() const;

    // The stored header fields (a core header widened); nullopt when invalid.
    std::optional<DibHeader> header() const;
    // Rewrites the header of a 40-byte-header picture in place. Refused (false)
    // when the new header would describe a different layout size than the
    // block can hold.
    bool setHeader(const DibHeader& header);
    // Sets the resolution fields (pixels per metre) of a 40-byte header.
    void setResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter);

    // Colour table entries (4 bytes each, or 3 under a core header); the masks
    // of a bit-field picture come before it and are not part of it.
    std::span<std::byte> colourTable();
    std::span<const std::byte> colourTable() const;
    ColourWord paletteColour(int index) const;
    void setPaletteColour(int index, ColourWord colour);
    // The red, green and blue masks of a bit-field picture (zeros otherwise).
    std::span<const std::byte> bitFieldMasks() const;

    // All pixel rows, bottom row first.
    std::span<std::byte> pixels();
    std::span<const std::byte> pixels() const;
    // Row `y` counted from the top of the picture (empty when out of range or
    // when the picture is RLE-compressed and has no rows).
    std::span<std::byte> row(int y);
    std::span<const std::byte> row(int y) const;

    // Pixel at (x, y), y counted from the top: a colour word for 24 bits, the
    // palette index for 1, 4 and 8 bits. 0 outside the picture or for other
    // depths; setPixel ignores such calls.
    std::uint32_t pixel(int x, int y) const;
    void setPixel(int x, int y, std::uint32_t value);

    // A byte-for-byte copy of the block; null when memory runs out.
    PictureBuffer duplicate() const;

private:
    explicit PictureBuffer(MemoryBlock block) noexcept : m_block(std::move(block)) {}
    // Start of row y (from the top) in the block, or null.
    std::byte* rowPointer(const DibLayout& l, int y);

    MemoryBlock m_block;
};

} // namespace vemra
