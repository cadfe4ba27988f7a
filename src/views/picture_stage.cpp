#include "views/picture_stage.h"

#include "imaging/picture_draw.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"
#include "views/viewer_geometry.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace vemra {
namespace {

// A scaled copy larger than this is not made: at 9x zoom a camera picture
// would need gigabytes. Such a picture is stretched as it is drawn, only
// its visible part.
constexpr long long kLargestShownPixels = 64LL << 20;

// The visible part of a 24-bit picture drawn 1:1: only that part is
// converted, whatever the picture's size, so stepping through camera
// pictures paints in a few milliseconds.
bool drawVisible24(QPainter& painter, const PictureBuffer& picture, QPoint at, QSize client) {
    const auto l = picture.layout();
    if (!l || l->bitCount != 24 || l->compression != Compression::None)
        return false;
    const QRect visible = QRect(at, QSize(l->width, l->height)).intersected(QRect({0, 0}, client));
    if (visible.isEmpty())
        return true;
    QImage part(visible.size(), QImage::Format_RGB32);
    if (part.isNull())
        return false;
    const int sx = visible.x() - at.x();
    const int sy = visible.y() - at.y();
    for (int y = 0; y < visible.height(); ++y) {
        const auto row = picture.row(sy + y);
        if (row.size() < static_cast<std::size_t>(sx + visible.width()) * 3)
            return false;
        const std::byte* from = row.data() + static_cast<std::size_t>(sx) * 3;
        auto* to = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = 0; x < visible.width(); ++x, from += 3)
            to[x] = qRgb(static_cast<int>(from[2]), static_cast<int>(from[1]),
                         static_cast<int>(from[0]));
    }
    painter.drawImage(visible.topLeft(), part);
    return true;
}

} // namespace

void PictureStage::setPicture(PictureBuffer picture, std::unique_ptr<FrameAnimation> animation,
                              std::int64_t now) {
    m_picture = std::move(picture);
    m_animation = std::move(animation);
    if (m_animation)
        m_animation->start(now);
    m_shownValid = false;
    m_shown = {};
}

void PictureStage::clear() {
    m_picture = {};
    m_animation.reset();
    m_shown = {};
    m_shownValid = false;
}

bool PictureStage::hasPicture() const {
    return !frame().isNull();
}

const PictureBuffer& PictureStage::frame() const {
    return m_animation ? m_animation->currentFrame() : m_picture;
}

QSize PictureStage::pictureSize() const {
    const PictureBuffer& first = m_animation ? m_animation->frame(0) : m_picture;
    return {first.width(), first.height()};
}

void PictureStage::replacePicture(PictureBuffer picture) {
    if (!picture)
        return;
    m_animation.reset();
    m_picture = std::move(picture);
    m_shownValid = false;
}

void PictureStage::computeDisplay(QSize client, bool zoomed) {
    m_extraAngle = 0;
    if (m_rules.fitSize == 4 && !zoomed)
        m_extraAngle =
            viewer::fullScreenAngle(viewer::rotatedBounds(pictureSize(), m_angle), client, m_rules);
    const QSize bounds = viewer::rotatedBounds(pictureSize(), effectiveAngle());
    const viewer::DisplaySize d = viewer::displaySize(bounds, client, m_zoom, m_rules, zoomed);
    if (d.zoomReset)
        m_zoom = 0;
    m_zoomed = zoomed;
    m_scale = d.scale;
    m_display = d.size;
    m_offset = viewer::clampOffset(viewer::centredOffset(client, m_display), client, m_display);
    m_shownValid = false;
}

void PictureStage::layout(QSize client, bool keepZoom) {
    const bool stretching = m_rules.fitSize >= 2;
    computeDisplay(client, keepZoom && stretching && m_zoomed);
}

bool PictureStage::zoomIn(QSize client) {
    if (!viewer::canZoomIn(m_zoom, m_rules.zoomStep))
        return false;
    ++m_zoom;
    computeDisplay(client, true);
    return true;
}

bool PictureStage::zoomOut(QSize client) {
    if (!viewer::canZoomOut(m_zoom, m_rules.zoomStep))
        return false;
    --m_zoom;
    computeDisplay(client, true);
    return true;
}

bool PictureStage::resetZoom(QSize client) {
    if (m_zoom == 0)
        return false;
    m_zoom = 0;
    computeDisplay(client, true);
    return true;
}

void PictureStage::rotate(int degrees, QSize client) {
    m_angle = std::fmod(std::fmod(m_angle + degrees, 360.0) + 360.0, 360.0);
    computeDisplay(client, m_zoomed);
}

void PictureStage::flip(bool vertical, QSize client) {
    if (m_animation)
        m_animation->flip(vertical);
    else if (vertical)
        flipPicture(m_picture);
    else
        mirrorPicture(m_picture);
    computeDisplay(client, m_zoomed);
}

bool PictureStage::panBy(QPoint delta, QSize client) {
    QPoint moved = m_offset;
    if (m_display.width() > client.width())
        moved.rx() += delta.x();
    if (m_display.height() > client.height())
        moved.ry() += delta.y();
    moved = viewer::clampOffset(moved, client, m_display);
    if (moved == m_offset)
        return false;
    m_offset = moved;
    return true;
}

const PictureBuffer& PictureStage::shownPicture() {
    static const PictureBuffer kNone;
    const PictureBuffer& source = frame();
    const int frameIndex = m_animation ? m_animation->current() : 0;
    if (!source)
        return kNone;
    const double angle = effectiveAngle();
    const QSize own(source.width(), source.height());
    if (angle == 0 && m_display == own)
        return source;
    if (m_shownValid && m_shownFrame == frameIndex)
        return m_shown;
    m_shownValid = true;
    m_shownFrame = frameIndex;
    m_shown = {};
    if (static_cast<long long>(m_display.width()) * m_display.height() > kLargestShownPixels)
        return m_shown;
    const auto mode = scaleModeFromInt(m_rules.scaleMode).value_or(ScaleMode::Normal);
    m_shown = scalePicture(source, m_display.width(), m_display.height(), angle, mode, m_scale);
    return m_shown;
}

void PictureStage::paint(QPainter& painter, QSize client, const QString& message) {
    painter.fillRect(QRect({0, 0}, client), Qt::black);
    if (!hasPicture()) {
        painter.setPen(Qt::white);
        painter.drawText(QRect({0, 0}, client), Qt::AlignCenter, message);
        return;
    }
    const PictureBuffer& shown = shownPicture();
    if (shown) {
        if (!drawVisible24(painter, shown, m_offset, client))
            drawPicture(painter, m_offset, shown);
        return;
    }
    // Too large to hold scaled: the frame is stretched while drawn (turned
    // first when needed, which is exact and keeps its size).
    const PictureBuffer& source = frame();
    PictureBuffer turned;
    if (effectiveAngle() != 0)
        turned = rotatePicture(source, effectiveAngle());
    const PictureBuffer& drawn = turned ? turned : source;
    if (!drawn)
        return;
    const QRect target(m_offset, m_display);
    const QRect visible = target.intersected(QRect({0, 0}, client));
    const double sx = double(drawn.width()) / m_display.width();
    const double sy = double(drawn.height()) / m_display.height();
    const QRect from(static_cast<int>((visible.x() - target.x()) * sx),
                     static_cast<int>((visible.y() - target.y()) * sy),
                     std::max(1, static_cast<int>(visible.width() * sx + 1)),
                     std::max(1, static_cast<int>(visible.height() * sy + 1)));
    drawPicture(painter, visible, drawn,
                from.intersected(QRect(0, 0, drawn.width(), drawn.height())));
}

bool PictureStage::tick(std::int64_t now, int fullScreenShortestMs) {
    if (!m_animation)
        return false;
    return fullScreenShortestMs >= 0 ? m_animation->tickFullScreen(now, fullScreenShortestMs)
                                     : m_animation->tick(now);
}

} // namespace vemra
