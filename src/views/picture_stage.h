#pragma once

#include "imaging/picture_buffer.h"
#include "views/frame_animation.h"
#include "views/viewer_options.h"

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>

class QPainter;

namespace vemra {

// One picture as a viewer shows it: the decoded picture (or the frames of
// an animation), the user's rotation and zoom, the display size the fit
// rules give for the client area, the scaled copy that is drawn, and the
// offset at which it stands. The window viewer and the full-screen window
// both draw through it. Interface thread only.
class PictureStage {
public:
    // Shows `picture`, or the frames of `animation` when given; zoom and
    // rotation are kept. `now` starts the animation's clock.
    void setPicture(PictureBuffer picture, std::unique_ptr<FrameAnimation> animation,
                    std::int64_t now);
    void clear();
    bool hasPicture() const;
    // The shown frame as decoded (after flips, sharpening and reduction).
    const PictureBuffer& frame() const;
    // The picture's own size (frame 0).
    QSize pictureSize() const;
    FrameAnimation* animation() const { return m_animation.get(); }
    // Replaces the picture by a changed copy (sharpened, reduced); an
    // animation becomes the still picture given.
    void replacePicture(PictureBuffer picture);

    void setRules(const FitRules& rules) { m_rules = rules; }
    const FitRules& rules() const { return m_rules; }

    // Computes the display size for `client` and centres the picture. In
    // the stretching modes the zoom level goes back to 0 unless a zoom
    // command chose the size (`keepZoom`).
    void layout(QSize client, bool keepZoom = false);
    // One zoom step in or out (false at the limit), back to level 0, or a
    // turn by `degrees`; each computes the display size anew for `client`.
    bool zoomIn(QSize client);
    bool zoomOut(QSize client);
    bool resetZoom(QSize client);
    void rotate(int degrees, QSize client);
    // Flips every frame (vertically: upside down).
    void flip(bool vertical, QSize client);

    int zoomLevel() const { return m_zoom; }
    bool zoomed() const { return m_zoomed; }
    double angle() const { return m_angle; }
    double scale() const { return m_scale; }
    QSize displaySize() const { return m_display; }
    QPoint offset() const { return m_offset; }
    // Moves the picture by `delta` on each axis where it exceeds the client,
    // clamped; true when it moved.
    bool panBy(QPoint delta, QSize client);
    bool largerThan(QSize client) const {
        return m_display.width() > client.width() || m_display.height() > client.height();
    }

    // The picture as drawn: the scaled and turned copy, or the frame itself
    // when it is shown as it is. Null when it is too large to be held (it
    // is then stretched as it is drawn).
    const PictureBuffer& shownPicture();
    // Fills the client black and draws the picture at its offset; without a
    // picture, `message` centred in white.
    void paint(QPainter& painter, QSize client, const QString& message);

    // Advances an animation (the window viewer's or the full-screen rule);
    // true when another frame is to be drawn.
    bool tick(std::int64_t now, int fullScreenShortestMs = -1);

private:
    void computeDisplay(QSize client, bool zoomed);
    double effectiveAngle() const { return m_angle + m_extraAngle; }

    PictureBuffer m_picture;
    std::unique_ptr<FrameAnimation> m_animation;
    FitRules m_rules;
    double m_angle = 0;
    int m_extraAngle = 0; // the full-screen turn of mode 4
    int m_zoom = 0;
    bool m_zoomed = false;
    double m_scale = 1;
    QSize m_display{1, 1};
    QPoint m_offset;
    // The drawn copy and the frame it was made from.
    PictureBuffer m_shown;
    int m_shownFrame = -1;
    bool m_shownValid = false;
};

} // namespace vemra
