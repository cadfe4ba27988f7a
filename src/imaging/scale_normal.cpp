#include "imaging/drawing_surface.h"
#include "imaging/picture_qimage.h"
#include "imaging/scale_internal.h"
#include "imaging/transforms.h"

#include <QPainter>

namespace vemra::scaling {

// The plain mode hands the stretch to the painter with smoothing on, into a
// 24-bit surface; its exact pixels are the painter's business.
PictureBuffer scaleNormal(const PictureBuffer& source, int destWidth, int destHeight,
                          double angle) {
    PictureBuffer rotated;
    const PictureBuffer* from = &source;
    if (angle != 0) {
        rotated = rotatePicture(source, angle);
        if (!rotated) {
            return {};
        }
        from = &rotated;
    }
    const auto l = from->layout();
    DrawingSurface surface;
    if (!l || !surface.create(destWidth, destHeight, 24)) {
        return {};
    }
    QPainter& painter = surface.painter();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF target(0, 0, destWidth, destHeight);
    // Sharing the stored rows avoids copying a big picture; they are bottom
    // up, so the painter draws them mirrored about the target's middle.
    const QImage stored = wrapStoredRows(*from);
    if (!stored.isNull() && !l->topDown) {
        painter.translate(0, destHeight);
        painter.scale(1, -1);
        painter.drawImage(target, stored);
    } else {
        const QImage upright = pictureToImage(*from);
        if (upright.isNull()) {
            return {};
        }
        painter.drawImage(target, upright);
    }
    return surface.capture();
}

} // namespace vemra::scaling
