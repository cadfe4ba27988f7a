#include "imaging/gif_lzw.h"

#include <array>

namespace vemra {
namespace {

constexpr int kPasses = 4;
constexpr int kPassStep[kPasses] = {8, 8, 4, 2};
constexpr int kPassStart[kPasses] = {0, 4, 2, 1};
constexpr int kTableSize = 4096;
constexpr int kStackSize = 4095;
constexpr int kMaxCodeSize = 11;
constexpr int kMaxCodeWidth = 12;

// Codes of a given width, least significant bit first, across sub-blocks.
class CodeReader {
public:
    CodeReader(std::span<const std::byte> data, std::size_t at) : m_data(data), m_at(at) {}

    // False when the data (or its sub-blocks) end first.
    bool read(int width, int& code) {
        while (m_bits < width) {
            if (m_blockLeft == 0) {
                if (m_at >= m_data.size()) {
                    return false;
                }
                m_blockLeft = std::to_integer<unsigned>(m_data[m_at++]);
                if (m_blockLeft == 0) {
                    m_at = m_data.size(); // the terminator: nothing follows
                    return false;
                }
            }
            if (m_at >= m_data.size()) {
                return false;
            }
            m_buffer |= std::to_integer<std::uint32_t>(m_data[m_at++]) << m_bits;
            m_bits += 8;
            --m_blockLeft;
        }
        code = static_cast<int>(m_buffer & ((1u << width) - 1));
        m_buffer >>= width;
        m_bits -= width;
        return true;
    }

private:
    std::span<const std::byte> m_data;
    std::size_t m_at;
    unsigned m_blockLeft = 0;
    std::uint32_t m_buffer = 0;
    int m_bits = 0;
};

} // namespace

GifPixelSink::GifPixelSink(std::uint8_t* rows, std::size_t stride, bool bottomUp, int width,
                           int height, bool interlaced, int transparent, std::uint8_t* mask)
    : m_rows(rows), m_stride(stride), m_bottomUp(bottomUp), m_width(width), m_height(height),
      m_transparent(transparent), m_mask(mask),
      m_maskStride(static_cast<std::size_t>(width + 7) / 8), m_pass(interlaced ? 0 : kPasses - 1),
      m_step(interlaced ? kPassStep[0] : 1) {
    if (width <= 0 || height <= 0) {
        m_row = -1;
    }
}

void GifPixelSink::nextRow() {
    m_row += m_step;
    while (m_row >= m_height) {
        if (++m_pass >= kPasses) {
            m_row = -1; // every row is done; further indices are dropped
            return;
        }
        m_row = kPassStart[m_pass];
        m_step = kPassStep[m_pass];
    }
}

ResultCode decodeGifLzw(std::span<const std::byte> data, std::size_t start, GifPixelSink& sink) {
    if (start >= data.size()) {
        return ResultCode::InvalidData;
    }
    const int codeSize = std::to_integer<int>(data[start]);
    if (codeSize > kMaxCodeSize) {
        return ResultCode::Aborted;
    }
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;

    std::array<std::uint16_t, kTableSize> prefix{};
    std::array<std::uint8_t, kTableSize> suffix{};
    std::array<std::uint8_t, kStackSize> stack{};

    CodeReader reader(data, start + 1);
    int width = codeSize + 1;
    int nextFree = firstFree;
    int previous = 0;
    int firstChar = 0;
    bool first = true;
    int code = 0;
    for (;;) {
        if (!reader.read(width, code)) {
            return ResultCode::InvalidData;
        }
        // The stream's first code is a clear code, whatever its value.
        if (first || code == clear) {
            first = false;
            width = codeSize + 1;
            nextFree = firstFree;
            do {
                if (!reader.read(width, code)) {
                    return ResultCode::InvalidData;
                }
            } while (code == clear);
            if (code == end) {
                return ResultCode::Success;
            }
            sink.put(static_cast<unsigned>(code));
            previous = code;
            firstChar = code & 0xFF;
            continue;
        }
        if (code == end) {
            return ResultCode::Success;
        }
        if (nextFree >= kTableSize) {
            return ResultCode::OutOfMemory;
        }
        const int incoming = code;
        int depth = 0;
        if (code >= nextFree) {
            // Not yet in the table: the previous string plus its own first
            // character.
            stack[static_cast<std::size_t>(depth++)] = static_cast<std::uint8_t>(firstChar);
            code = previous;
        }
        while (code >= clear) {
            if (depth >= kStackSize) {
                return ResultCode::OutOfMemory;
            }
            stack[static_cast<std::size_t>(depth++)] = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        if (depth >= kStackSize) {
            return ResultCode::OutOfMemory;
        }
        firstChar = code;
        stack[static_cast<std::size_t>(depth++)] = static_cast<std::uint8_t>(code);
        while (depth > 0) {
            sink.put(stack[static_cast<std::size_t>(--depth)]);
        }
        if (nextFree < kTableSize) {
            prefix[static_cast<std::size_t>(nextFree)] = static_cast<std::uint16_t>(previous);
            suffix[static_cast<std::size_t>(nextFree)] = static_cast<std::uint8_t>(firstChar);
            ++nextFree;
            if (nextFree > (1 << width) - 1 && width < kMaxCodeWidth) {
                ++width;
            }
        }
        previous = incoming;
    }
}

} // namespace vemra
