#include "views/thumbnail_grid.h"

#include "document/cell_geometry.h"
#include "document/folder_document.h"
#include "framework/idle_driver.h"
#include "views/viewer_list.h"

#include <algorithm>

namespace vemra {
namespace {
bool giveWay() {
    return idleInputPending();
}
} // namespace

// Thumbnails are decoded on the document's worker threads; the idle stages
// only hand out the requests in their order and apply what comes back. A
// result arriving while the grid rests wakes the event loop, and with it
// the idle work.
bool ThumbnailGrid::idleStep(int) {
    // A scan changes the entries under our feet; the work waits for its end.
    if (m_document.isScanning())
        return true;
    // The picture the user steps to next in a viewer comes before thumbnails.
    if (m_viewers->idleStep(giveWay))
        return true;
    applyFinishedThumbnails();
    const bool more = [this] {
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
    }();
    // Results the batch left for later (it gave way to input or to its time
    // share) are taken in the next share: no worker wakes the grid for them
    // again, and with every worker done the grid would wait for nothing.
    return more || m_document.waitForThumbnailResults(std::chrono::milliseconds(0));
}

void ThumbnailGrid::applyFinishedThumbnails() {
    m_document.applyThumbnailResults(
        geometry(),
        [this](int position) {
            redrawEntry(position);
            m_document.updateAllViews(this, hint::RedrawEntry{position});
        },
        giveWay);
    // Thumbnails from the cache count as much as those just made; the
    // visible rows keep theirs whatever the budget says.
    const int first = m_layout.firstVisible(m_top);
    const int perPage = std::max(1, m_layout.columns) *
                        (viewport()->height() / std::max(1, m_layout.cellHeight) + 2);
    m_document.enforceThumbnailBudget(first, first + perPage - 1);
}

void ThumbnailGrid::listenForThumbnails() {
    m_document.setThumbnailNotifier([this] {
        // On a worker thread: only wake the interface thread, whose idle
        // time then applies the result.
        QMetaObject::invokeMethod(
            this, [] {}, Qt::QueuedConnection);
    });
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
    m_document.beginVisiblePass();
    passFinished();
    return true;
}

// Hands out the visible cells' thumbnails; those in the cache come at once.
bool ThumbnailGrid::stageMakeVisible() {
    if (viewport()->width() <= 0 || viewport()->height() <= 0)
        return false;
    const CellGeometry g = geometry();
    const int height = viewport()->height();
    while (m_visibleCursor < m_layout.count) {
        const QRect cell = cellRectInView(m_visibleCursor);
        if (cell.top() >= height)
            break;
        const int position = m_visibleCursor++;
        if (cell.center().y() < 0)
            continue;
        const CellThumbnail made = m_document.requestThumbnail(position, g, true);
        if (made.isNew()) {
            redrawEntry(position);
            m_document.updateAllViews(this, hint::RedrawEntry{position});
        }
        if (giveWay())
            return true;
    }
    m_stage = m_document.options().thumbsCreate ? Stage::MakeAll : Stage::Idle;
    passFinished();
    return m_stage != Stage::Idle;
}

// Walks every entry from the top, keeping only a few requests ahead of the
// workers so that visible cells asked for later do not wait behind a long
// queue; the progress counts the entries whose thumbnails are done.
bool ThumbnailGrid::stageMakeAll() {
    const int count = m_layout.count;
    if (count == 0) {
        m_stage = Stage::Idle;
        return false;
    }
    const int ahead = 2 * std::max(1, m_document.thumbnailWorkerCount());
    const CellGeometry g = geometry();
    while (m_backgroundCursor < count && m_document.thumbnailJobsOutstanding() < ahead) {
        const int position = m_backgroundCursor++;
        const CellThumbnail made = m_document.requestThumbnail(position, g, false);
        if (made.isNew()) {
            redrawEntry(position);
            m_document.updateAllViews(this, hint::RedrawEntry{position});
        }
        if (giveWay())
            break;
    }
    const int outstanding = m_document.thumbnailJobsOutstanding();
    if (m_backgroundCursor >= count && outstanding == 0) {
        reportProgress(100);
        m_stage = Stage::Idle;
        passFinished();
        return false;
    }
    const int done = std::max(0, m_backgroundCursor - outstanding);
    const int percent = count > 0 ? done * 100 / count : 100;
    if (percent > m_lastPercent)
        reportProgress(percent);
    // With the workers busy the grid rests until a result wakes it.
    return m_backgroundCursor < count && outstanding < ahead;
}

void ThumbnailGrid::resetBackgroundStage() {
    m_backgroundCursor = 0;
    m_lastPercent = 0;
    if (m_reportedProgress) {
        m_reportedProgress = false;
        reportProgress(0);
    }
}

void ThumbnailGrid::reportProgress(int percent) {
    m_reportedProgress = percent != 0;
    m_lastPercent = percent;
    emit thumbnailProgress(percent);
}

} // namespace vemra
