#include "views/thumbnail_grid.h"

#include "document/cell_geometry.h"
#include "document/folder_document.h"
#include "framework/idle_driver.h"
#include "views/viewer_list.h"

#include <optional>

namespace vemra {
namespace {
bool giveWay() {
    return idleInputPending();
}
} // namespace

bool ThumbnailGrid::idleStep(int) {
    // A scan changes the entries under our feet; the work waits for its end.
    if (m_document.isScanning())
        return true;
    // The picture the user steps to next in a viewer comes before thumbnails.
    if (m_viewers->idleStep(giveWay))
        return true;
    switch (m_stage) {
    case Stage::Idle:
        return false;
    case Stage::DrawVisible:
        return stageDrawVisible();
    case Stage::MakeVisible:
        return stageMakeVisible();
    case Stage::MakeAll:
        return stageMakeAll();
    }
    return false;
}

// Painting shows the visible cells with what is in memory; this stage only
// makes sure that happens before anything is decoded.
bool ThumbnailGrid::stageDrawVisible() {
    if (viewport()->width() <= 0 || viewport()->height() <= 0)
        return false;
    if (isVisible())
        viewport()->repaint();
    m_stage = Stage::MakeVisible;
    m_visibleCursor = m_layout.firstVisible(m_top);
    passFinished();
    return true;
}

bool ThumbnailGrid::stageMakeVisible() {
    if (viewport()->width() <= 0 || viewport()->height() <= 0)
        return false;
    const CellGeometry g = geometry();
    const int height = viewport()->height();
    while (true) {
        if (m_visibleCursor >= m_layout.count) {
            break;
        }
        const QRect cell = cellRectInView(m_visibleCursor);
        if (cell.top() >= height)
            break;
        const int position = m_visibleCursor;
        if (cell.center().y() < 0) {
            ++m_visibleCursor;
            continue;
        }
        // A large picture is decoded over several steps; the cursor stays
        // on its cell until it is done.
        const std::optional<CellThumbnail> made =
            m_document.prepareThumbnailStep(position, g, giveWay);
        if (!made)
            return true;
        ++m_visibleCursor;
        if (made->isNew()) {
            redrawEntry(position);
            m_document.updateAllViews(this, hint::RedrawEntry{position});
        }
        if (idleInputPending())
            return true;
    }
    m_stage = m_document.options().thumbsCreate ? Stage::MakeAll : Stage::Idle;
    passFinished();
    return m_stage != Stage::Idle;
}

bool ThumbnailGrid::stageMakeAll() {
    const int count = m_layout.count;
    if (m_backgroundCursor >= count) {
        m_stage = Stage::Idle;
        return false;
    }
    const int position = m_backgroundCursor;
    const std::optional<CellThumbnail> made =
        m_document.prepareThumbnailStep(position, geometry(), giveWay);
    if (!made)
        return true;
    ++m_backgroundCursor;
    if (made->isNew()) {
        redrawEntry(position);
        m_document.updateAllViews(this, hint::RedrawEntry{position});
    }
    reportProgress(m_backgroundCursor * 100 / count);
    if (m_backgroundCursor >= count) {
        m_stage = Stage::Idle;
        passFinished();
        return false;
    }
    return true;
}

void ThumbnailGrid::resetBackgroundStage() {
    m_backgroundCursor = 0;
    if (m_reportedProgress) {
        m_reportedProgress = false;
        reportProgress(0);
    }
}

void ThumbnailGrid::reportProgress(int percent) {
    m_reportedProgress = percent != 0;
    emit thumbnailProgress(percent);
}

} // namespace vemra
