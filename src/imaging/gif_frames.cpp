#include "imaging/gif_frames.h"

#include "imaging/gif_lzw.h"

#include <algorithm>
#include <cstring>

namespace vemra {

ResultCode GifAnimation::open(std::span<const std::byte> data) {
    *this = GifAnimation{};
    if (!hasGifSignature(data)) {
        return ResultCode::InvalidData;
    }
    const auto screen = readGifScreen(data);
    if (!screen) {
        return ResultCode::BrokenData;
    }
    m_data = data;
    m_screen = *screen;
    GifWalker walker(data, screen->blocksStart);
    GifImage image;
    while (walker.next(image) == GifBlock::Image) {
        Frame f;
        f.image = image;
        f.info = {image.left,  image.top,      image.width,      image.height,
                  image.delay, image.disposal, image.transparent};
        m_frames.push_back(f);
        if (!image.complete) {
            break;
        }
    }
    m_comment = walker.comment();
    if (m_frames.empty()) {
        return ResultCode::BrokenData;
    }
    // A screen of no size takes the extent of the frames.
    if (m_screen.width == 0 || m_screen.height == 0) {
        for (const Frame& f : m_frames) {
            m_screen.width = std::max(m_screen.width, f.info.left + f.info.width);
            m_screen.height = std::max(m_screen.height, f.info.top + f.info.height);
        }
    }
    if (m_screen.width == 0 || m_screen.height == 0) {
        return ResultCode::BrokenData;
    }
    if (static_cast<std::int64_t>(m_screen.width) * m_screen.height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    const std::size_t at = static_cast<std::size_t>(m_screen.background) * 3;
    if (m_screen.hasGlobalTable && at + 2 < m_screen.globalTable.size()) {
        m_background = colourWord(std::to_integer<int>(m_screen.globalTable[at]),
                                  std::to_integer<int>(m_screen.globalTable[at + 1]),
                                  std::to_integer<int>(m_screen.globalTable[at + 2]));
    }
    return ResultCode::Success;
}

void GifAnimation::rewind() {
    m_next = 0;
    m_canvas = PictureBuffer();
    m_saved = PictureBuffer();
}

void GifAnimation::fillRect(const GifFrameInfo& area, ColourWord colour) {
    const int x0 = std::clamp(area.left, 0, width());
    const int x1 = std::clamp(area.left + area.width, 0, width());
    const int y0 = std::clamp(area.top, 0, height());
    const int y1 = std::clamp(area.top + area.height, 0, height());
    for (int y = y0; y < y1; ++y) {
        std::byte* p = m_canvas.row(y).data() + static_cast<std::size_t>(x0) * 3;
        for (int x = x0; x < x1; ++x, p += 3) {
            p[0] = static_cast<std::byte>(blueOf(colour));
            p[1] = static_cast<std::byte>(greenOf(colour));
            p[2] = static_cast<std::byte>(redOf(colour));
        }
    }
}

ResultCode GifAnimation::draw(const Frame& frame) {
    const GifImage& image = frame.image;
    if (image.width == 0 || image.height == 0) {
        return ResultCode::Success;
    }
    if (static_cast<std::int64_t>(image.width) * image.height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    const auto w = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> indices(w * static_cast<std::size_t>(image.height));
    const std::size_t maskStride = (w + 7) / 8;
    std::vector<std::uint8_t> mask(maskStride * static_cast<std::size_t>(image.height), 0xFF);
    GifPixelSink sink(indices.data(), w, false, image.width, image.height, image.interlaced,
                      image.transparent, mask.data());
    const ResultCode lzw = decodeGifLzw(m_data, image.lzwStart, sink);
    (void)lzw; // whatever was decoded is shown, as browsers do

    const auto table = gifColourTable(m_screen, image);
    const std::size_t entries = table.size() / 3;
    for (int y = 0; y < image.height; ++y) {
        const int sy = image.top + y;
        if (sy < 0 || sy >= height()) {
            continue;
        }
        std::byte* row = m_canvas.row(sy).data();
        for (int x = 0; x < image.width; ++x) {
            const int sx = image.left + x;
            const std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
            if (sx >= width() ||
                (mask[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x / 8)] &
                 (0x80u >> (x % 8))) == 0) {
                continue;
            }
            const std::size_t index = indices[i];
            std::byte* p = row + static_cast<std::size_t>(sx) * 3;
            if (index < entries) {
                p[0] = table[index * 3 + 2];
                p[1] = table[index * 3 + 1];
                p[2] = table[index * 3];
            } else if (entries == 0) {
                p[0] = p[1] = p[2] = static_cast<std::byte>(index);
            } else {
                p[0] = p[1] = p[2] = std::byte{0};
            }
        }
    }
    return ResultCode::Success;
}

ResultCode GifAnimation::nextFrame(PictureBuffer& out) {
    if (m_frames.empty()) {
        return ResultCode::Failure;
    }
    if (m_next >= frameCount() || !m_canvas) {
        m_next = 0;
        m_canvas = PictureBuffer::create(width(), height(), 24);
        if (!m_canvas) {
            return ResultCode::OutOfMemory;
        }
        fillRect({0, 0, width(), height()}, m_background);
    } else {
        // Undo what the previous frame asked to be undone.
        const Frame& previous = m_frames[static_cast<std::size_t>(m_next - 1)];
        if (previous.info.disposal == 2) {
            fillRect(previous.info, m_background);
        } else if (previous.info.disposal == 3 && m_saved) {
            std::swap(m_canvas, m_saved);
        }
    }
    const Frame& frame = m_frames[static_cast<std::size_t>(m_next)];
    if (frame.info.disposal == 3) {
        m_saved = m_canvas.duplicate();
    }
    if (const ResultCode r = draw(frame); r != ResultCode::Success) {
        return r;
    }
    ++m_next;
    out = m_canvas.duplicate();
    return out ? ResultCode::Success : ResultCode::OutOfMemory;
}

} // namespace vemra
