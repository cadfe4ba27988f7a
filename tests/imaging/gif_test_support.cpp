#include "gif_test_support.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace vemra::test {
namespace {

int appendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<std::byte>*>(gif->UserData);
    out->insert(out->end(), reinterpret_cast<const std::byte*>(data),
                reinterpret_cast<const std::byte*>(data) + length);
    return length;
}

} // namespace

std::vector<std::byte> writeGif(int width, int height, int colourBits,
                                const std::vector<GifFrameSpec>& frames, const char* comment) {
    std::vector<std::byte> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    if (gif == nullptr) {
        return {};
    }
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours(static_cast<std::size_t>(1) << colourBits);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        colours[i] = {static_cast<GifByteType>(i * 10), static_cast<GifByteType>(255 - i),
                      static_cast<GifByteType>(i * 3)};
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifPutScreenDesc(gif, width, height, colourBits, 0, map);
    if (comment != nullptr) {
        EGifPutComment(gif, comment);
    }
    for (const GifFrameSpec& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = f.disposal;
        gcb.DelayTime = f.delay;
        gcb.TransparentColor = f.transparent;
        GifByteType extension[4];
        const std::size_t length = EGifGCBToExtension(&gcb, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
        std::vector<int> order;
        if (f.interlaced) {
            const int starts[] = {0, 4, 2, 1};
            const int steps[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = starts[pass]; y < f.height; y += steps[pass]) {
                    order.push_back(y);
                }
            }
        } else {
            for (int y = 0; y < f.height; ++y) {
                order.push_back(y);
            }
        }
        for (const int y : order) {
            auto* row =
                const_cast<GifPixelType*>(f.pixels.data() + static_cast<std::size_t>(y) * f.width);
            EGifPutLine(gif, row, f.width);
        }
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

void CodePacker::put(int code, int width) {
    m_buffer |= static_cast<std::uint32_t>(code) << m_bits;
    m_bits += width;
    while (m_bits >= 8) {
        m_bytes.push_back(static_cast<std::uint8_t>(m_buffer));
        m_buffer >>= 8;
        m_bits -= 8;
    }
}

std::vector<std::byte> CodePacker::subBlocks() const {
    std::vector<std::uint8_t> bytes = m_bytes;
    if (m_bits > 0) {
        bytes.push_back(static_cast<std::uint8_t>(m_buffer));
    }
    std::vector<std::byte> out;
    for (std::size_t at = 0; at < bytes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, bytes.size() - at);
        out.push_back(static_cast<std::byte>(n));
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(static_cast<std::byte>(bytes[at + i]));
        }
    }
    out.push_back(std::byte{0});
    return out;
}

std::vector<std::byte> handMadeGif(int width, int height, int codeSize,
                                   const std::vector<std::byte>& lzw, bool interlaced) {
    std::vector<std::byte> out;
    auto push = [&out](std::initializer_list<int> values) {
        for (const int v : values) {
            out.push_back(static_cast<std::byte>(v));
        }
    };
    const int bits = std::clamp(codeSize, 1, 8);
    push({'G', 'I', 'F', '8', '7', 'a', width & 0xFF, width >> 8, height & 0xFF, height >> 8,
          0x80 | (bits - 1), 0, 0});
    for (int i = 0; i < (1 << bits); ++i) {
        const int v = i * 255 / ((1 << bits) - 1);
        push({v, v, v});
    }
    push({0x2C, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8,
          interlaced ? 0x40 : 0, codeSize});
    out.insert(out.end(), lzw.begin(), lzw.end());
    push({0x3B});
    return out;
}

} // namespace vemra::test
