#include "imaging/gif_format.h"

#include "platform/endian.h"

#include <cstring>

namespace vemra {
namespace {

constexpr unsigned kExtension = 0x21;
constexpr unsigned kImage = 0x2C;
constexpr unsigned kTrailer = 0x3B;
constexpr unsigned kGraphicControl = 0xF9;
constexpr unsigned kComment = 0xFE;

unsigned byteAt(std::span<const std::byte> data, std::size_t at) {
    return std::to_integer<unsigned>(data[at]);
}

} // namespace

bool hasGifSignature(std::span<const std::byte> data) {
    return data.size() >= kGifSignatureBytes && (std::memcmp(data.data(), "GIF87a", 6) == 0 ||
                                                 std::memcmp(data.data(), "GIF89a", 6) == 0);
}

std::optional<GifScreen> readGifScreen(std::span<const std::byte> data) {
    if (data.size() < kGifScreenEnd) {
        return std::nullopt;
    }
    GifScreen s;
    s.width = loadU16(data.data() + 6);
    s.height = loadU16(data.data() + 8);
    const unsigned packed = byteAt(data, 10);
    s.colourBits = static_cast<int>(packed & 7) + 1;
    s.background = static_cast<int>(byteAt(data, 11));
    s.hasGlobalTable = (packed & 0x80) != 0;
    s.blocksStart = kGifScreenEnd;
    if (s.hasGlobalTable) {
        const std::size_t tableBytes = std::size_t{3} << s.colourBits;
        if (data.size() < kGifScreenEnd + tableBytes) {
            return std::nullopt;
        }
        s.globalTable = data.subspan(kGifScreenEnd, tableBytes);
        s.blocksStart += tableBytes;
    }
    return s;
}

bool GifWalker::skipSubBlocks(std::size_t& at) const {
    while (at < m_data.size()) {
        const std::size_t length = byteAt(m_data, at);
        at += 1 + length;
        if (length == 0) {
            return true;
        }
    }
    at = m_data.size();
    return false;
}

GifBlock GifWalker::next(GifImage& image) {
    image = GifImage{};
    bool extensionsStarted = false;
    while (m_at < m_data.size()) {
        const unsigned introducer = byteAt(m_data, m_at);
        if (introducer == kTrailer) {
            return GifBlock::Trailer;
        }
        if (introducer == kExtension) {
            if (!extensionsStarted) {
                image.firstBlock = m_at;
                extensionsStarted = true;
            }
            if (m_at + 1 >= m_data.size()) {
                m_at = m_data.size();
                return GifBlock::End;
            }
            const unsigned label = byteAt(m_data, m_at + 1);
            std::size_t at = m_at + 2;
            if (label == kGraphicControl && at + 5 <= m_data.size() && byteAt(m_data, at) >= 4) {
                const unsigned packed = byteAt(m_data, at + 1);
                image.disposal = static_cast<int>(packed >> 2 & 7);
                image.delay = loadU16(m_data.data() + at + 2);
                image.transparent =
                    (packed & 1) != 0 ? static_cast<int>(byteAt(m_data, at + 4)) : -1;
            }
            if (label == kComment && !m_sawComment) {
                m_sawComment = true;
                std::size_t c = at;
                while (c < m_data.size() && byteAt(m_data, c) != 0) {
                    const std::size_t length = byteAt(m_data, c);
                    const std::size_t take = std::min(length, m_data.size() - c - 1);
                    m_comment.append(reinterpret_cast<const char*>(m_data.data() + c + 1), take);
                    c += 1 + length;
                }
            }
            if (!skipSubBlocks(at)) {
                m_at = m_data.size();
                return GifBlock::End;
            }
            m_at = at;
            continue;
        }
        if (introducer != kImage) {
            return GifBlock::Unknown;
        }
        if (!extensionsStarted) {
            image.firstBlock = m_at;
        }
        image.descriptor = m_at;
        if (m_at + 10 > m_data.size()) {
            m_at = m_data.size();
            return GifBlock::End;
        }
        const std::byte* d = m_data.data() + m_at;
        image.left = loadU16(d + 1);
        image.top = loadU16(d + 3);
        image.width = loadU16(d + 5);
        image.height = loadU16(d + 7);
        const unsigned flags = std::to_integer<unsigned>(d[9]);
        image.interlaced = (flags & 0x40) != 0;
        image.hasLocalTable = (flags & 0x80) != 0;
        std::size_t at = m_at + 10;
        if (image.hasLocalTable) {
            image.localBits = static_cast<int>(flags & 7) + 1;
            const std::size_t tableBytes = std::size_t{3} << image.localBits;
            if (at + tableBytes > m_data.size()) {
                m_at = m_data.size();
                return GifBlock::End;
            }
            image.localTable = m_data.subspan(at, tableBytes);
            at += tableBytes;
        }
        image.lzwStart = at;
        if (at >= m_data.size()) {
            image.end = m_data.size();
            m_at = m_data.size();
            return GifBlock::Image;
        }
        at += 1; // minimum code size
        image.complete = skipSubBlocks(at);
        image.end = at;
        m_at = at;
        return GifBlock::Image;
    }
    return GifBlock::End;
}

} // namespace vemra
