#pragma once

#include "imaging/result_code.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The program's own LZW decompressor for GIF image data.
namespace vemra {

// Stores decoded colour indices row by row, following the interlace passes
// ((step, start row) = (8, 0), (8, 4), (4, 2), (2, 1); plain pictures use
// the last pass only). Row r of the image lives at `rows + r * stride`, or at
// `rows + (height - 1 - r) * stride` when `bottomUp`. Indices equal to the
// transparent index clear their bit in the optional mask (one bit per pixel,
// most significant first, rows of (width + 7) / 8 bytes, top row first).
// Indices past the last row are dropped.
class GifPixelSink {
public:
    GifPixelSink(std::uint8_t* rows, std::size_t stride, bool bottomUp, int width, int height,
                 bool interlaced, int transparent = -1, std::uint8_t* mask = nullptr);

    void put(unsigned index) {
        if (m_row < 0) {
            return;
        }
        const std::size_t storedRow =
            static_cast<std::size_t>(m_bottomUp ? m_height - 1 - m_row : m_row);
        m_rows[storedRow * m_stride + static_cast<std::size_t>(m_column)] =
            static_cast<std::uint8_t>(index);
        if (static_cast<int>(index) == m_transparent && m_mask != nullptr) {
            m_mask[static_cast<std::size_t>(m_row) * m_maskStride +
                   static_cast<std::size_t>(m_column / 8)] &=
                static_cast<std::uint8_t>(~(0x80u >> (m_column % 8)));
        }
        ++m_written;
        if (++m_column == m_width) {
            m_column = 0;
            nextRow();
        }
    }
    bool finished() const { return m_row < 0; }
    // Pixels stored so far; data that ends early leaves the rest untouched.
    std::uint64_t written() const { return m_written; }

private:
    void nextRow();

    std::uint8_t* m_rows;
    std::size_t m_stride;
    bool m_bottomUp;
    int m_width;
    int m_height;
    int m_transparent;
    std::uint8_t* m_mask;
    std::size_t m_maskStride;
    int m_pass;
    int m_step;
    int m_row = 0;
    int m_column = 0;
    std::uint64_t m_written = 0;
};

// Decodes the LZW stream whose minimum-code-size byte is `data[start]` and
// whose codes follow in sub-blocks. Success at the end code; InvalidData when
// the data runs out first (the indices decoded so far are in the sink);
// Aborted for a code size above 11; OutOfMemory when a string outgrows the
// 4095-entry stack or a code arrives with the 4096-entry table full.
ResultCode decodeGifLzw(std::span<const std::byte> data, std::size_t start, GifPixelSink& sink);

} // namespace vemra
