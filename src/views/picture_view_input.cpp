#include "views/picture_view.h"

#include "framework/command_id.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdlib>

namespace vemra {
namespace {

// A press this soon after the window became active is the click that
// activated it.
constexpr std::int64_t kActivationClickMs = 300;
// How far a press during sequential drawing must move sideways to step.
constexpr int kSwipeDistance = 32;

} // namespace

bool PictureView::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        m_activatedAt = now();
    // Tab belongs to the frame (the next viewer window), not to focus moves.
    if (e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            e->ignore();
            return false;
        }
    }
    return QWidget::event(e);
}

void PictureView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() &&
        event->modifiers() == Qt::NoModifier) {
        // Space sends whatever command the settings name.
        const int id = m_options.spaceCommandId;
        if (m_route) {
            m_route(id);
        } else if (const auto state = commandState(id); state && state->enabled) {
            onCommand(id);
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_I && event->modifiers() == Qt::NoModifier) {
        toggleInfoPane();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureView::updatePointer() {
    if (m_pan == Pan::Pressed || m_pan == Pan::Dragging || m_pan == Pan::PressedSequential)
        return;
    const bool large = m_stage.hasPicture() && m_stage.largerThan(size());
    m_pan = large ? Pan::Hover : Pan::Idle;
    setCursor(large ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    m_activationClick = now() - m_activatedAt < kActivationClickMs;
    m_lastPointer = m_pressPointer = event->position().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    if (m_sequential.isActive()) {
        // A press pauses sequential drawing; a swipe steps, the release
        // goes on.
        m_sequential.stop();
        m_pan = Pan::PressedSequential;
        return;
    }
    m_pan = m_pan == Pan::Hover ? Pan::Pressed : Pan::Idle;
    if (m_pan == Pan::Pressed)
        setCursor(Qt::ClosedHandCursor);
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const QPoint delta = at - m_lastPointer;
    switch (m_pan) {
    case Pan::Idle:
    case Pan::Hover:
        updatePointer();
        break;
    case Pan::Pressed:
        if (std::abs(at.x() - m_pressPointer.x()) <= 1 &&
            std::abs(at.y() - m_pressPointer.y()) <= 1)
            break;
        m_pan = Pan::Dragging;
        [[fallthrough]];
    case Pan::Dragging:
        if (m_stage.panBy(delta, size()))
            update();
        break;
    case Pan::PressedSequential: {
        const int sideways = at.x() - m_pressPointer.x();
        if (std::abs(sideways) > kSwipeDistance) {
            if (sideways > 0)
                showNext();
            else
                showPrevious();
            m_pressPointer = at;
        }
        break;
    }
    }
    m_lastPointer = at;
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    const Pan was = m_pan;
    m_pan = Pan::Idle;
    updatePointer();
    if (was == Pan::PressedSequential) {
        startSequential();
        return;
    }
    if (was == Pan::Dragging || m_activationClick)
        return;
    // The physical left button goes back and the right one forward, also
    // when the desktop swapped them.
    bool back = event->button() == Qt::LeftButton;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    if (m_buttonsSwapped)
        back = !back;
    if (back)
        showPrevious();
    else
        showNext();
}

void PictureView::wheelEvent(QWheelEvent* event) {
    const int delta =
        event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    const QSize shown = m_stage.displaySize();
    QPoint move;
    if (shown.height() > height())
        move.setY(delta);
    else if (shown.width() > width())
        move.setX(delta);
    if (!move.isNull() && m_stage.panBy(move, size()))
        update();
    event->accept();
}

} // namespace vemra
