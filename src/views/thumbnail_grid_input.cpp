#include "views/thumbnail_grid.h"

#include "document/folder_document.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace vemra {

// --- selection
//
// One action tells the other views once (tellSelection): selecting a range
// of 100,000 cells is one notice, not one per cell.

void ThumbnailGrid::select(int position, bool selected) {
    SelectionTally tally = m_document.setSelectedRange(position, position, selected);
    tellSelection(tally);
}

void ThumbnailGrid::tellSelection(const SelectionTally& tally) {
    if (tally.count() == 1)
        redrawEntry(tally.lastPosition());
    else if (tally.count() > 1)
        viewport()->update();
    m_document.tellSelection(this, tally);
}

void ThumbnailGrid::selectOnly(int position) {
    SelectionTally tally = m_document.deselectAll(position);
    tally.add(m_document.setSelectedRange(position, position, true));
    tellSelection(tally);
}

void ThumbnailGrid::toggle(int position) {
    const PictureSource* entry = m_document.entryAt(position);
    if (entry != nullptr)
        select(position, !entry->isSelected());
}

// Shift: the range from the anchor to `to` becomes selected, and what the
// previous range held outside the new one is deselected again.
void ThumbnailGrid::selectRange(int to, bool keepOthers) {
    SelectionTally tally;
    if (!m_rangeInProgress) {
        if (!keepOthers)
            tally.add(m_document.deselectAll());
        m_anchor = m_document.focusedPosition() >= 0 ? m_document.focusedPosition() : to;
        m_rangeEnd = m_anchor;
        m_rangeInProgress = true;
    }
    const int low = std::min(m_anchor, to);
    const int high = std::max(m_anchor, to);
    const int oldLow = std::min(m_anchor, m_rangeEnd);
    const int oldHigh = std::max(m_anchor, m_rangeEnd);
    tally.add(m_document.setSelectedRange(oldLow, std::min(oldHigh, low - 1), false));
    tally.add(m_document.setSelectedRange(std::max(oldLow, high + 1), oldHigh, false));
    tally.add(m_document.setSelectedRange(low, high, true));
    tellSelection(tally);
    m_rangeEnd = to;
    setCurrent(to);
}

void ThumbnailGrid::moveCurrent(int position, Qt::KeyboardModifiers modifiers) {
    if (position < 0 || position >= m_document.displayedCount())
        return;
    if (modifiers & Qt::ShiftModifier) {
        selectRange(position, modifiers & Qt::ControlModifier);
    } else {
        m_rangeInProgress = false;
        if (!(modifiers & Qt::ControlModifier)) {
            selectOnly(position);
        }
        setCurrent(position);
    }
    ensureVisible(position);
}

// Brings the cell into view by one cell's height at a time, as arrow keys
// walk; a longer jump (Home, End, Page keys with Shift) goes just far
// enough.
void ThumbnailGrid::ensureVisible(int position) {
    const QRect cell = cellRectInView(position);
    if (cell.top() < 0)
        scrollToTop(m_top - m_layout.cellHeight);
    else if (cell.bottom() >= viewport()->height())
        scrollToTop(m_top + m_layout.cellHeight);
    scrollJustEnough(position);
}

void ThumbnailGrid::setCurrent(int position) {
    const bool before = std::exchange(m_settingCurrent, true);
    m_document.setFocus(position);
    m_settingCurrent = before;
}

// Scrolls by as little as shows the whole cell (its top when the cell is
// taller than the window).
void ThumbnailGrid::scrollJustEnough(int position) {
    const QRect cell = cellRectInView(position);
    const long long rowTop = m_layout.cellRect(position).top();
    if (cell.top() < 0)
        scrollToTop(rowTop);
    else if (cell.bottom() >= viewport()->height())
        scrollToTop(std::min(rowTop, rowTop + m_layout.cellHeight - viewport()->height()));
}

bool ThumbnailGrid::captionHit(int position, QPoint point) const {
    if (!m_document.options().name || position < 0)
        return false;
    const QRect cell = cellRectInView(position);
    const int inset = m_document.options().frame ? 2 : 0;
    return point.y() >= cell.bottom() + 1 - inset - (m_look.captionHeight + 4);
}

void ThumbnailGrid::updatePointer(QPoint point, Qt::KeyboardModifiers modifiers) {
    const int under = hitTest(point);
    const bool toggles =
        under >= 0 && ((modifiers & Qt::ControlModifier) || captionHit(under, point));
    const Qt::CursorShape shape = toggles ? Qt::PointingHandCursor : Qt::ArrowCursor;
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

// --- mouse

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    const int position = hitTest(point);
    m_pressed = position;
    m_selectOnRelease = false;
    armDrag(event->button(), position);
    if (position < 0 || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    Qt::KeyboardModifiers modifiers = event->modifiers();
    if (captionHit(position, point))
        modifiers |= Qt::ControlModifier;
    if (modifiers & Qt::ShiftModifier) {
        selectRange(position, modifiers & Qt::ControlModifier);
        return;
    }
    m_rangeInProgress = false;
    if (modifiers & Qt::ControlModifier) {
        toggle(position);
        if (m_document.entryAt(position)->isSelected())
            setCurrent(position);
        return;
    }
    if (!m_document.entryAt(position)->isSelected()) {
        selectOnly(position);
        setCurrent(position);
    } else {
        // A press on a selection may start a drag of all of it; only a
        // release without one narrows the selection to this entry.
        m_selectOnRelease = true;
    }
}

void ThumbnailGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        m_selectOnRelease = false;
        showContextMenu(point, false);
        return;
    }
    const int position = hitTest(point);
    if (m_selectOnRelease && position == m_pressed && position >= 0) {
        selectOnly(position);
        setCurrent(position);
    }
    m_selectOnRelease = false;
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int position = hitTest(event->position().toPoint());
    if (position >= 0 && event->button() == Qt::LeftButton)
        openByKeys(position, event->modifiers());
}

// --- wheel and keys

void ThumbnailGrid::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0 || m_layout.maxTop() == 0) {
        event->ignore();
        return;
    }
    int rows = m_options.wheelScrollCount;
    long long distance = 0;
    if (rows == -1) {
        distance = delta > 0 ? -m_layout.page : m_layout.page;
    } else {
        if (rows == 0)
            rows = QApplication::wheelScrollLines();
        distance = -static_cast<long long>(delta) * rows / 120 * m_layout.cellHeight;
        if (distance == 0)
            distance = delta > 0 ? -m_layout.cellHeight : m_layout.cellHeight;
    }
    scrollToTop(m_top + distance);
    event->accept();
}

void ThumbnailGrid::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control)
        updatePointer(viewport()->mapFromGlobal(QCursor::pos()), event->modifiers());
    QAbstractScrollArea::keyReleaseEvent(event);
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        updatePointer(viewport()->mapFromGlobal(QCursor::pos()), event->modifiers());
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int count = m_document.displayedCount();
    const int current = std::max(0, m_document.focusedPosition());
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    const int pageCells = m_layout.visibleRows * m_layout.columns;
    const bool none = m_document.focusedPosition() < 0;
    switch (event->key()) {
    case Qt::Key_Right:
        moveCurrent(none ? 0 : current + 1, modifiers);
        break;
    case Qt::Key_Left:
        moveCurrent(none ? 0 : current - 1, modifiers);
        break;
    case Qt::Key_Down:
        moveCurrent(none ? 0 : current + m_layout.columns, modifiers);
        break;
    case Qt::Key_Up:
        moveCurrent(none ? 0 : current - m_layout.columns, modifiers);
        break;
    case Qt::Key_PageDown:
        if (modifiers == Qt::NoModifier)
            scrollToTop(m_top + m_layout.page);
        else
            moveCurrent(std::min(count - 1, current + pageCells), modifiers);
        break;
    case Qt::Key_PageUp:
        if (modifiers == Qt::NoModifier)
            scrollToTop(m_top - m_layout.page);
        else
            moveCurrent(std::max(0, current - pageCells), modifiers);
        break;
    case Qt::Key_Home:
        moveCurrent(0, modifiers);
        break;
    case Qt::Key_End:
        moveCurrent(count - 1, modifiers);
        break;
    case Qt::Key_Space:
        if (count > 0) {
            toggle(current);
            setCurrent(current);
            moveCurrent(current + 1, Qt::ControlModifier);
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        openByKeys(m_document.focusedPosition(), event->modifiers());
        break;
    case Qt::Key_Menu:
        showContextMenu({}, true);
        break;
    case Qt::Key_F10:
        if (!(event->modifiers() & Qt::ShiftModifier)) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        showContextMenu({}, true);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace vemra
