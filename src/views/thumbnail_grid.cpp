#include "views/thumbnail_grid.h"

#include "document/folder_document.h"
#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/command_router.h"
#include "framework/idle_driver.h"
#include "framework/view_focus.h"
#include "views/progress_window_requests.h"
#include "views/viewer_list.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

namespace vemra {

ThumbnailGrid::ThumbnailGrid(FolderDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document),
      m_rememberedSize(document.options().thumbsSize),
      m_viewers(std::make_unique<ViewerList>(document, this)),
      m_progress(std::make_unique<ProgressWindowRequests>(this)) {
    setObjectName(QStringLiteral("thumbnailGrid"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button held change the pointer's shape.
    viewport()->setMouseTracking(true);
    // Files dropped from file managers and other windows are copied or moved in.
    viewport()->setAcceptDrops(true);
    m_opener = [](const std::string& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    };
    reloadAppearance();
    relayout();
    document.addView(this);
    listenForThumbnails();
}

ThumbnailGrid::~ThumbnailGrid() {
    m_document.setThumbnailNotifier({});
    // The viewers the grid opened go with it.
    m_viewers.reset();
    if (document() != nullptr)
        document()->removeView(this);
}

QSize ThumbnailGrid::cellSize() const {
    IntPair size = m_document.thumbnailSize();
    if (size.first <= 0 || size.second <= 0)
        size = m_document.options().thumbsSize;
    return {std::max(1, size.first), std::max(1, size.second)};
}

void ThumbnailGrid::relayout() {
    const QSize cell = cellSize();
    // During a scan only what SyncFind lets through is laid out.
    int count = m_document.displayedCount();
    if (m_document.isScanning())
        count = m_found > m_options.syncFileCount ? m_found : 0;
    const GridLayout next = GridLayout::compute(count, cell.width(), cell.height(),
                                                viewport()->width(), viewport()->height());
    const bool changed = !(next == m_layout);
    m_layout = next;
    m_top = m_layout.clampTop(m_top);
    if (changed)
        updateScrollBar();
}

void ThumbnailGrid::updateScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    m_settingBar = true;
    bar->setRange(0, m_layout.barMaximum());
    bar->setPageStep(std::max(1, m_layout.barValue(m_layout.page)));
    bar->setSingleStep(std::max(1, m_layout.barValue(m_layout.cellHeight)));
    bar->setValue(m_layout.barValue(m_top));
    m_settingBar = false;
}

void ThumbnailGrid::scrollToTop(long long top) {
    const long long clamped = m_layout.clampTop(top);
    if (clamped == m_top)
        return;
    m_top = clamped;
    m_settingBar = true;
    verticalScrollBar()->setValue(m_layout.barValue(m_top));
    m_settingBar = false;
    restartPainting(false);
}

void ThumbnailGrid::scrollContentsBy(int, int) {
    if (m_settingBar)
        return;
    m_top = m_layout.topFromBar(verticalScrollBar()->value());
    restartPainting(false);
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    restartPainting(false);
}

void ThumbnailGrid::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    relayout();
    restartPainting(true);
}

int ThumbnailGrid::hitTest(QPoint point) const {
    return m_layout.hitTest(QPoint(point.x(), point.y() + static_cast<int>(m_top)));
}

QRect ThumbnailGrid::cellRectInView(int position) const {
    return m_layout.cellRect(position).translated(0, -static_cast<int>(m_top));
}

bool ThumbnailGrid::entryVisible(int position) const {
    return position >= 0 && position < m_layout.count &&
           cellRectInView(position).intersects(viewport()->rect());
}

void ThumbnailGrid::redrawEntry(int position) {
    if (entryVisible(position))
        viewport()->update(cellRectInView(position));
}

// Every change of what is visible starts the idle work over at the visible
// cells; the background stage keeps its place unless told otherwise.
void ThumbnailGrid::restartPainting(bool resetBackground) {
    if (resetBackground)
        resetBackgroundStage();
    m_stage = Stage::DrawVisible;
    m_visibleCursor = m_layout.firstVisible(m_top);
    viewport()->update();
    if (IdleDriver* idle = IdleDriver::current())
        idle->wake();
}

// --- cell size

void ThumbnailGrid::setCellSize(int width, int height) {
    applyCellSize(width, height);
    m_rememberedSize = m_document.thumbnailSize();
}

void ThumbnailGrid::applyCellSize(int width, int height) {
    const IntPair limit = m_document.options().thumbsLimitSize;
    const int maxWidth = std::max(limit.first, viewport()->width());
    const int maxHeight = std::max(limit.second, viewport()->height());
    width = std::clamp(width, limit.first, maxWidth);
    height = std::clamp(height, limit.second, maxHeight);
    if (IntPair{width, height} != m_document.thumbnailSize()) {
        m_document.setThumbnailSize({width, height});
        // Thumbnails on their way are for the old size.
        m_document.dropThumbnailJobs();
        resetBackgroundStage();
    }
    m_top = 0;
    relayout();
    updateScrollBar();
    restartPainting(false);
}

void ThumbnailGrid::stepCellSize(int steps) {
    const QSize cell = cellSize();
    const int step = m_document.options().scaleStep;
    const int width = cell.width() + (steps > 0 ? step : -step);
    const int height =
        static_cast<int>(width * (static_cast<double>(cell.height()) / cell.width()));
    applyCellSize(width, height);
}

void ThumbnailGrid::divideColumns(int columns) {
    if (columns <= 0) {
        applyCellSize(m_rememberedSize.first, m_rememberedSize.second);
        return;
    }
    const QSize cell = cellSize();
    columns = std::clamp(columns, 1, std::max(1, m_layout.columns));
    const int width = viewport()->width() / columns;
    int height = static_cast<int>(width * (static_cast<double>(cell.height()) / cell.width()));
    if (height > 0) {
        const int rows = viewport()->height() / height;
        if (rows >= 1)
            height = viewport()->height() / rows;
    }
    applyCellSize(width, height);
}

// --- hints and commands

void ThumbnailGrid::onUpdate(DocumentView*, const UpdateHint& update) {
    using hint::OneOf;
    visitHint(
        update,
        [this](const OneOf<hint::RedrawAll, hint::EntryRemoved> auto&) {
            relayout();
            restartPainting(true);
        },
        [this](const hint::ListEmptied&) { listEmptied(); },
        [this](const hint::EntryAccepted& accepted) {
            if (m_document.options().syncFind)
                drawFoundEntry(accepted.position);
        },
        [this](const hint::ScanFinished&) { scanFinished(); },
        [this](const hint::StopPainting&) { m_stage = Stage::Idle; },
        [this](const hint::ContinuePainting&) { restartPainting(false); },
        [this](const hint::SelectionChanged& change) { redrawEntry(change.position); },
        [this](const hint::FocusChanged& change) {
            redrawEntry(change.position);
            // Another view moved the focus: with Synchronous the grid follows.
            if (change.focused && !m_settingCurrent && m_document.options().synchronous &&
                change.position < m_layout.count)
                scrollJustEnough(change.position);
            // With Synchronous the viewer shows the current entry too.
            if (change.focused && m_document.options().synchronous)
                m_viewers->follow(change.position);
        },
        [this](const hint::AllSelection&) { viewport()->update(); },
        [this](const hint::RedrawEntry& redraw) { redrawEntry(redraw.position); },
        [this](const hint::OpenEntry& open) { openInViewer(open.position, false); },
        [this](const hint::OpenEntryByKeys& open) {
            openByKeys(open.position, QGuiApplication::keyboardModifiers());
        });
}

void ThumbnailGrid::listEmptied() {
    // The viewers show entries of the folder being left.
    m_viewers->folderChanging();
    m_stage = Stage::Idle;
    m_anchor = m_rangeEnd = m_pressed = -1;
    m_rangeInProgress = false;
    m_found = 0;
    relayout();
    if (m_document.options().syncFind) {
        m_top = 0;
        updateScrollBar();
        restartPainting(true);
    } else {
        viewport()->update();
    }
}

void ThumbnailGrid::scanFinished() {
    m_found = 0;
    m_anchor = m_rangeEnd = m_pressed = -1;
    m_rangeInProgress = false;
    m_top = 0;
    reloadAppearance();
    relayout();
    updateScrollBar();
    const std::string wanted = m_document.fileToShow();
    if (!wanted.empty()) {
        for (int i = 0; i < m_document.displayedCount(); ++i) {
            const PictureSource* entry = m_document.entryAt(i);
            if (entry != nullptr && !entry->isArchiveMember() &&
                QString::fromStdString(entry->fullPath())
                        .compare(QString::fromStdString(wanted), Qt::CaseInsensitive) == 0) {
                m_document.clearFileToShow();
                m_document.setFocus(i);
                openEntry(i);
                break;
            }
        }
    }
    restartPainting(true);
}

std::optional<CommandState> ThumbnailGrid::commandState(int id) const {
    switch (id) {
    case kCmdLargerThumbnails:
    case kCmdSmallerThumbnails:
    case kCmdNextPage:
    case kCmdPreviousPage:
        return CommandState{};
    case kCmdOpenCurrent:
        return CommandState{m_document.focusedPosition() >= 0, false};
    case kCmdOpenViewer:
    case kCmdFullScreen:
    case kCmdRunAssociated:
    case kCmdReload:
        return CommandState{commandEntry() >= 0, false};
    default:
        return transferCommandState(id);
    }
}

bool ThumbnailGrid::onCommand(int id) {
    switch (id) {
    case kCmdLargerThumbnails:
        stepCellSize(1);
        return true;
    case kCmdSmallerThumbnails:
        stepCellSize(-1);
        return true;
    case kCmdNextPage:
        scrollToTop(m_top + m_layout.page);
        return true;
    case kCmdPreviousPage:
        scrollToTop(m_top - m_layout.page);
        return true;
    case kCmdOpenCurrent:
        openByKeys(m_document.focusedPosition(), QGuiApplication::keyboardModifiers());
        return true;
    case kCmdOpenViewer:
        if (m_document.selectedCount(true) >= 2)
            openSelection();
        else
            openInViewer(commandEntry(),
                         QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
        return true;
    case kCmdFullScreen:
        runFullScreen(commandEntry());
        return true;
    case kCmdRunAssociated:
        runAssociated(commandEntry());
        return true;
    case kCmdReload:
        reloadEntry(commandEntry());
        return true;
    default:
        return onTransferCommand(id);
    }
}

bool ThumbnailGrid::event(QEvent* e) {
    // Tab goes on to the document's next view, not to the next widget.
    if (e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            focusNextView(m_document, *this, *this);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

} // namespace vemra
