#include "imaging/picture_draw.h"

#include "imaging/picture_qimage.h"

#include <QPainter>

namespace vemra {
namespace {

QPainter::CompositionMode compositionFor(RasterOp op) {
    switch (op) {
    case RasterOp::Copy:
        return QPainter::CompositionMode_Source;
    case RasterOp::And:
        return QPainter::RasterOp_SourceAndDestination;
    case RasterOp::Or:
        return QPainter::RasterOp_SourceOrDestination;
    case RasterOp::Xor:
        return QPainter::RasterOp_SourceXorDestination;
    }
    return QPainter::CompositionMode_Source;
}

} // namespace

void drawPicture(QPainter& painter, const QRect& target, const PictureBuffer& picture,
                 const QRect& source, RasterOp op) {
    const auto l = picture.layout();
    if (!l || target.isEmpty()) {
        return;
    }
    const QRect src = source.isNull() ? QRect(0, 0, l->width, l->height) : source;
    painter.save();
    painter.setCompositionMode(compositionFor(op));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QImage stored = wrapStoredRows(picture);
    if (stored.isNull() || l->topDown) {
        const QImage upright = stored.isNull() ? pictureToImage(picture) : stored;
        painter.drawImage(target, upright, src);
    } else {
        // The shared rows are upside down: pick the mirrored source rectangle
        // and flip the painter about the target's horizontal centre line.
        const QRect flippedSource(src.x(), l->height - src.y() - src.height(), src.width(),
                                  src.height());
        painter.translate(0, 2 * target.y() + target.height());
        painter.scale(1, -1);
        painter.drawImage(target, stored, flippedSource);
    }
    painter.restore();
}

void drawPicture(QPainter& painter, QPoint at, const PictureBuffer& picture) {
    drawPicture(painter, QRect(at, QSize(picture.width(), picture.height())), picture);
}

} // namespace vemra
