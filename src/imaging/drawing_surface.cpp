#include "imaging/drawing_surface.h"

#include "imaging/bmp_file.h"

#include <algorithm>
#include <cstring>

namespace vemra {
namespace {

bool isSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Entry i is i x (256 / (2^bits - 1)) in every channel, clamped to 255.
QList<QRgb> greyRamp(int bits) {
    const int entries = 1 << bits;
    const int step = 256 / (entries - 1);
    QList<QRgb> table;
    table.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        const int v = std::min(i * step, 255);
        table.append(qRgb(v, v, v));
    }
    return table;
}

} // namespace

DrawingSurface::~DrawingSurface() {
    endPainting();
}

void DrawingSurface::endPainting() {
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

bool DrawingSurface::create(int width, int height, int bitCount, std::optional<QColor> background,
                            std::span<const QRgb> colourTable) {
    if (width <= 0 || height <= 0 || !isSupportedDepth(bitCount) ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        return false;
    }
    if (m_image.isNull() || m_image.width() != width || m_image.height() != height ||
        m_bitCount != bitCount) {
        endPainting();
        m_image = QImage(width, height, QImage::Format_RGB32);
        if (m_image.isNull()) {
            m_bitCount = 0;
            return false;
        }
        m_bitCount = bitCount;
    }
    if (bitCount <= 8) {
        if (colourTable.empty()) {
            m_colourTable = greyRamp(bitCount);
        } else {
            const std::size_t n = std::min<std::size_t>(colourTable.size(), 1u << bitCount);
            m_colourTable = QList<QRgb>(colourTable.begin(),
                                        colourTable.begin() + static_cast<std::ptrdiff_t>(n));
        }
    } else {
        m_colourTable.clear();
    }
    painter().setCompositionMode(QPainter::CompositionMode_Source);
    painter().fillRect(m_image.rect(), background.value_or(QColor(Qt::black)));
    painter().setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}

bool DrawingSurface::createFrom(const PictureBuffer& picture, QSize size) {
    const auto l = picture.layout();
    if (!l) {
        return false;
    }
    const int bits = isSupportedDepth(l->bitCount) ? l->bitCount : 24;
    QList<QRgb> table;
    for (int i = 0; i < l->colourEntries && i < 256; ++i) {
        const ColourWord c = picture.paletteColour(i);
        table.append(qRgb(redOf(c), greenOf(c), blueOf(c)));
    }
    const QSize wanted = size.isValid() && !size.isEmpty() ? size : QSize(l->width, l->height);
    if (!create(wanted.width(), wanted.height(), bits, std::nullopt, table)) {
        return false;
    }
    drawPicture(m_image.rect(), picture);
    return true;
}

QPainter& DrawingSurface::painter() {
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(&m_image);
    }
    return *m_painter;
}

void DrawingSurface::drawPicture(const QRect& target, const PictureBuffer& picture,
                                 const QRect& source, RasterOp op) {
    if (isValid()) {
        vemra::drawPicture(painter(), target, picture, source, op);
    }
}

const QImage& DrawingSurface::image() {
    // The painter writes straight into the image; ending it here makes sure
    // nothing is pending and that a copy taken now does not detach mid-paint.
    endPainting();
    return m_image;
}

void DrawingSurface::blit(QPainter& to, QPoint at) {
    if (isValid()) {
        to.drawImage(at, image());
    }
}

void DrawingSurface::blit(QPainter& to, const QRect& target) {
    if (isValid()) {
        to.save();
        to.setRenderHint(QPainter::SmoothPixmapTransform, false);
        to.drawImage(target, image());
        to.restore();
    }
}

PictureBuffer DrawingSurface::capture() {
    if (!isValid()) {
        return {};
    }
    const QImage& pixels = image();
    const int w = pixels.width();
    const int h = pixels.height();
    PictureBuffer picture = PictureBuffer::create(w, h, m_bitCount);
    if (!picture) {
        return {};
    }
    if (m_bitCount <= 8) {
        for (int i = 0; i < m_colourTable.size(); ++i) {
            const QRgb c = m_colourTable[i];
            picture.setPaletteColour(i, colourWord(qRed(c), qGreen(c), qBlue(c)));
        }
        // Nearest colour of the table, without dithering, as a read-back of
        // a palette bitmap would give.
        const QImage indexed = pixels.convertToFormat(QImage::Format_Indexed8, m_colourTable,
                                                      Qt::ThresholdDither | Qt::AvoidDither);
        for (int y = 0; y < h; ++y) {
            const uchar* s = indexed.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                picture.setPixel(x, y, s[x]);
            }
        }
        return picture;
    }
    if (m_bitCount == 24) {
        for (int y = 0; y < h; ++y) {
            const auto* s = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
            auto* d = reinterpret_cast<std::uint8_t*>(picture.row(y).data());
            for (int x = 0; x < w; ++x, d += 3) {
                d[0] = static_cast<std::uint8_t>(qBlue(s[x]));
                d[1] = static_cast<std::uint8_t>(qGreen(s[x]));
                d[2] = static_cast<std::uint8_t>(qRed(s[x]));
            }
        }
        return picture;
    }
    const QImage rows = m_bitCount == 16 ? pixels.convertToFormat(QImage::Format_RGB555) : pixels;
    const std::size_t bytes = static_cast<std::size_t>(w) * (m_bitCount / 8);
    for (int y = 0; y < h; ++y) {
        std::memcpy(picture.row(y).data(), rows.constScanLine(y), bytes);
    }
    return picture;
}

int DrawingSurface::saveAsBmp(const std::string& path) {
    const PictureBuffer picture = capture();
    return picture && writeBmpFile(path, picture) ? 0 : -1;
}

} // namespace vemra
