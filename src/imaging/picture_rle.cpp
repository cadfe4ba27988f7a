#include "imaging/picture_convert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// Run-length encoded bitmaps (BI_RLE8, BI_RLE4) as the Windows bitmap format
// defines them: a count byte and a value repeat the value; an escape 0 starts
// end-of-line (0), end-of-bitmap (1), delta (2, dx, dy) or a literal run of n
// values padded to an even number of bytes.
namespace vemra {
namespace {

class RleExpander {
public:
    RleExpander(const DibLayout& layout, std::span<std::byte> out)
        : m_width(layout.width), m_height(layout.height), m_rowBytes(layout.rowBytes),
          m_four(layout.compression == Compression::Rle4),
          m_out(reinterpret_cast<std::uint8_t*>(out.data())) {}

    // False when a run or literal passes the end of its row. Data that ends
    // without an end-of-bitmap record leaves the rest of the picture blank.
    bool expand(std::span<const std::byte> data) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
        const std::size_t size = data.size();
        std::size_t pos = 0;
        while (pos + 2 <= size && m_y < m_height) {
            const unsigned count = p[pos];
            const unsigned value = p[pos + 1];
            pos += 2;
            if (count > 0) {
                if (m_x + count > static_cast<unsigned>(m_width)) {
                    return false;
                }
                for (unsigned i = 0; i < count; ++i) {
                    put(m_four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
                }
                continue;
            }
            switch (value) {
            case 0:
                m_x = 0;
                ++m_y;
                break;
            case 1:
                return true;
            case 2:
                if (pos + 2 > size) {
                    return true;
                }
                // Clamped, so that many deltas cannot wrap the column around;
                // a later run from beyond the edge then fails as it should.
                m_x = std::min(m_x + p[pos], static_cast<unsigned>(m_width));
                m_y += p[pos + 1];
                pos += 2;
                break;
            default: {
                const std::size_t bytes = m_four ? (value + 1) / 2 : value;
                if (pos + bytes > size) {
                    return true; // cut short: keep what was decoded
                }
                if (m_x + value > static_cast<unsigned>(m_width)) {
                    return false;
                }
                for (unsigned i = 0; i < value; ++i) {
                    put(m_four ? (i % 2 == 0 ? p[pos + i / 2] >> 4 : p[pos + i / 2] & 0x0F)
                               : p[pos + i]);
                }
                pos += bytes + (bytes & 1);
                break;
            }
            }
        }
        return true;
    }

private:
    void put(unsigned value) {
        std::uint8_t* row = m_out + static_cast<std::size_t>(m_y) * m_rowBytes;
        if (m_four) {
            const int shift = m_x % 2 == 0 ? 4 : 0;
            row[m_x / 2] = static_cast<std::uint8_t>((row[m_x / 2] & (0x0F << (4 - shift))) |
                                                     (value & 0x0F) << shift);
        } else {
            row[m_x] = static_cast<std::uint8_t>(value);
        }
        ++m_x;
    }

    int m_width;
    int m_height;
    std::size_t m_rowBytes;
    bool m_four;
    std::uint8_t* m_out;
    unsigned m_x = 0;
    int m_y = 0; // stored row, counted from the bottom
};

class RleCompressor {
public:
    explicit RleCompressor(bool four) : m_four(four) {}

    void row(const std::vector<std::uint8_t>& px) {
        const std::size_t w = px.size();
        std::size_t i = 0;
        while (i < w) {
            const std::size_t run = runAt(px, i);
            if (run >= 3 || w - i < 3) {
                emitRun(px, i, run);
                i += run;
                continue;
            }
            std::size_t j = i;
            while (j < w && j - i < 255 && !(j > i && runAt(px, j) >= 3)) {
                ++j;
            }
            if (j - i < 3) {
                emitRun(px, i, run);
                i += run;
                continue;
            }
            emitLiteral(px, i, j - i);
            i = j;
        }
        m_out.push_back(0);
        m_out.push_back(0);
    }

    std::vector<std::uint8_t> finish() {
        m_out.push_back(0);
        m_out.push_back(1);
        return std::move(m_out);
    }

private:
    // Length of the run starting at i: repeats of one value (RLE8) or of an
    // alternating pair of nibbles (RLE4).
    std::size_t runAt(const std::vector<std::uint8_t>& px, std::size_t i) const {
        const std::uint8_t a = px[i];
        const std::uint8_t b = m_four && i + 1 < px.size() ? px[i + 1] : a;
        std::size_t n = 1;
        while (i + n < px.size() && n < 255 && px[i + n] == (n % 2 == 0 ? a : b)) {
            ++n;
        }
        return n;
    }

    void emitRun(const std::vector<std::uint8_t>& px, std::size_t i, std::size_t n) {
        m_out.push_back(static_cast<std::uint8_t>(n));
        if (m_four) {
            const std::uint8_t b = n > 1 ? px[i + 1] : 0;
            m_out.push_back(static_cast<std::uint8_t>(px[i] << 4 | b));
        } else {
            m_out.push_back(px[i]);
        }
    }

    void emitLiteral(const std::vector<std::uint8_t>& px, std::size_t i, std::size_t n) {
        m_out.push_back(0);
        m_out.push_back(static_cast<std::uint8_t>(n));
        std::size_t bytes = 0;
        if (m_four) {
            for (std::size_t k = 0; k < n; k += 2) {
                const std::uint8_t low = k + 1 < n ? px[i + k + 1] : 0;
                m_out.push_back(static_cast<std::uint8_t>(px[i + k] << 4 | low));
                ++bytes;
            }
        } else {
            m_out.insert(m_out.end(), px.begin() + static_cast<std::ptrdiff_t>(i),
                         px.begin() + static_cast<std::ptrdiff_t>(i + n));
            bytes = n;
        }
        if (bytes % 2 != 0) {
            m_out.push_back(0);
        }
    }

    bool m_four;
    std::vector<std::uint8_t> m_out;
};

} // namespace

bool expandRle(PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l) {
        return false;
    }
    if (l->compression == Compression::None) {
        return l->bitCount == 1 || l->bitCount == 4 || l->bitCount == 8 || l->bitCount == 24;
    }
    if (l->compression != Compression::Rle8 && l->compression != Compression::Rle4) {
        return false;
    }
    DibHeader h = *picture.header();
    h.compression = 0;
    h.imageSize = 0;
    PictureBuffer expanded = PictureBuffer::create(h);
    if (!expanded) {
        return false;
    }
    const auto table = picture.colourTable();
    std::memcpy(expanded.colourTable().data(), table.data(), table.size());
    RleExpander expander(*l, expanded.pixels());
    if (!expander.expand(picture.pixels())) {
        return false;
    }
    picture = std::move(expanded);
    return true;
}

PictureBuffer compressRle(const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l || l->compression != Compression::None || (l->bitCount != 8 && l->bitCount != 4) ||
        l->headerSize != kInfoHeaderSize) {
        return {};
    }
    const bool four = l->bitCount == 4;
    RleCompressor compressor(four);
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(l->width));
    // RLE data always runs bottom-up, whatever the source row order.
    for (int y = l->height - 1; y >= 0; --y) {
        // Read straight from the row: asking pixel by pixel re-validates the
        // whole picture for each one.
        const std::span<const std::byte> row = picture.row(y);
        for (int x = 0; x < l->width; ++x) {
            const auto at = static_cast<std::size_t>(four ? x / 2 : x);
            const unsigned byte = std::to_integer<unsigned>(row[at]);
            indices[static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(four ? ((x % 2 == 0) ? byte >> 4 : byte & 0x0F) : byte);
        }
        compressor.row(indices);
    }
    const std::vector<std::uint8_t> data = compressor.finish();

    DibHeader h = *picture.header();
    h.compression = static_cast<std::uint32_t>(four ? Compression::Rle4 : Compression::Rle8);
    h.imageSize = static_cast<std::uint32_t>(data.size());
    if (h.height < 0) {
        h.height = -h.height;
    }
    PictureBuffer compressed = PictureBuffer::create(h);
    if (!compressed) {
        return {};
    }
    const auto table = picture.colourTable();
    std::memcpy(compressed.colourTable().data(), table.data(), table.size());
    std::memcpy(compressed.pixels().data(), data.data(), data.size());
    return compressed;
}

} // namespace vemra
