#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// GIF files for the tests: written with giflib, or put together by hand
// around an LZW code stream of our own making.
namespace vemra::test {

struct GifFrameSpec {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width x height indices, top row first
    int delay = 0;
    int disposal = 0;
    int transparent = -1;
    bool interlaced = false;
};

// A GIF89a with a global table of 2^colourBits colours (entry i = (i*10,
// 255-i, i*3)), one frame per description, an optional comment; written by giflib.
std::vector<std::byte> writeGif(int width, int height, int colourBits,
                                const std::vector<GifFrameSpec>& frames,
                                const char* comment = nullptr);

// Packs LZW codes least significant bit first into sub-blocks.
class CodePacker {
public:
    void put(int code, int width);
    std::vector<std::byte> subBlocks() const; // with the terminator
private:
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_buffer = 0;
    int m_bits = 0;
};

// A one-image GIF87a of width x height with a 2^codeSize grey table, whose
// image data is `lzw` after the minimum-code-size byte.
std::vector<std::byte> handMadeGif(int width, int height, int codeSize,
                                   const std::vector<std::byte>& lzw, bool interlaced = false);

} // namespace vemra::test
