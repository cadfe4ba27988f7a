#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/picture_draw.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>

#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vemra {

// An off-screen bitmap with its own painter, used to render text pages,
// contact sheets and stretched thumbnails, and to capture the result as a
// picture buffer.
//
// Painting always happens in 32-bit colour; the surface's bit count decides
// the picture that capture() produces. Surfaces of 8 bits and fewer map each
// pixel to the nearest entry of their colour table on capture.
class DrawingSurface {
public:
    DrawingSurface() = default;
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;
    ~DrawingSurface();

    // Makes a surface of `width` x `height` and `bitCount` bits (1, 4, 8, 16,
    // 24 or 32). Without a colour table, surfaces of 8 bits and fewer get a
    // grey ramp. The surface is filled with `background` when given, else
    // cleared to black. A surface of the same size and depth is reused.
    bool create(int width, int height, int bitCount = 24,
                std::optional<QColor> background = std::nullopt,
                std::span<const QRgb> colourTable = {});
    // A surface of the picture's size (or `size` when valid) and depth, with
    // the picture's colour table, the picture drawn into it.
    bool createFrom(const PictureBuffer& picture, QSize size = {});

    bool isValid() const { return !m_image.isNull(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    int bitCount() const { return m_bitCount; }
    const QList<QRgb>& colourTable() const { return m_colourTable; }

    // The drawing context; valid while the surface is.
    QPainter& painter();

    // Draws the `source` part of `picture` into `target`.
    void drawPicture(const QRect& target, const PictureBuffer& picture, const QRect& source = {},
                     RasterOp op = RasterOp::Copy);
    // Copies the surface to another context 1:1 at `at`, or stretched into
    // `target` without smoothing.
    void blit(QPainter& to, QPoint at);
    void blit(QPainter& to, const QRect& target);

    // A new picture buffer with the surface's pixels; null on failure.
    PictureBuffer capture();
    // Captures and writes a BMP file: 0 on success, -1 on failure.
    int saveAsBmp(const std::string& path);

    // The pixels painted so far (32-bit).
    const QImage& image();

private:
    void endPainting();

    QImage m_image;
    std::unique_ptr<QPainter> m_painter;
    int m_bitCount = 0;
    QList<QRgb> m_colourTable;
};

} // namespace vemra
