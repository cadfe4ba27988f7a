#include "views/details_list.h"

#include "document/document_sort.h"
#include "document/folder_document.h"
#include "framework/command_id.h"
#include "framework/view_focus.h"
#include "settings/settings_store.h"
#include "views/details_list_model.h"
#include "views/thumbnail_grid.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <utility>

namespace vemra {
namespace {

// An item view whose drags are the grid's: the same formats, and files the
// target moved away leave the document.
template <class View> class DraggingView : public View {
public:
    DraggingView(std::function<void()> drag, QWidget* parent)
        : View(parent), m_drag(std::move(drag)) {}

protected:
    void startDrag(Qt::DropActions) override { m_drag(); }

private:
    std::function<void()> m_drag;
};

QColor toQColor(ColourValue value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

// The style a command chooses, or nullopt for other commands.
std::optional<DetailsList::Style> styleOfCommand(int id) {
    switch (id) {
    case kCmdListLargeIcons:
        return DetailsList::Style::LargeIcons;
    case kCmdListSmallIcons:
        return DetailsList::Style::SmallIcons;
    case kCmdListList:
        return DetailsList::Style::List;
    case kCmdListDetails:
        return DetailsList::Style::Details;
    default:
        return std::nullopt;
    }
}

} // namespace

DetailsList::DetailsList(FolderDocument& document, SettingsStore& settings, QWidget* parent)
    : QStackedWidget(parent), m_document(document), m_settings(settings),
      m_options(DetailsListOptions::load(settings)), m_state(SortState::load(settings)),
      m_model(new DetailsListModel(this)) {
    setObjectName(QStringLiteral("detailsList"));
    // Focus goes on to the view of the present style; Tab from the grid
    // comes here as to any other view.
    setFocusPolicy(Qt::StrongFocus);
    setUpTable();
    setUpIconView();
    setStyle(Style::Details);
    document.addView(this);
}

DetailsList::~DetailsList() {
    saveSettings();
    if (document() != nullptr)
        document()->removeView(this);
}

void DetailsList::setUpTable() {
    auto* table = new DraggingView<QTableView>([this] { startDrag(); }, this);
    m_table = table;
    table->setObjectName(QStringLiteral("detailsTable"));
    table->setModel(m_model);
    table->setShowGrid(true);
    table->setWordWrap(false);
    table->setCornerButtonEnabled(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Equal rows let the view find any row by arithmetic, whatever the
    // folder's size.
    QHeaderView* rows = table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setIconSize(QSize(16, 16));

    QHeaderView* header = table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(false);
    // Stored widths are taken as they are, however narrow.
    header->setMinimumSectionSize(0);
    for (int column = 0; column < kSortColumnCount; ++column)
        header->resizeSection(column, m_options.widths[static_cast<std::size_t>(column)]);
    for (int place = 0; place < kSortColumnCount; ++place)
        header->moveSection(header->visualIndex(m_options.order[static_cast<std::size_t>(place)]),
                            place);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { headingClicked(column); });
    connectView(table);
    addWidget(table);
}

void DetailsList::setUpIconView() {
    auto* icons = new DraggingView<QListView>([this] { startDrag(); }, this);
    m_iconView = icons;
    icons->setObjectName(QStringLiteral("detailsIcons"));
    icons->setModel(m_model);
    icons->setModelColumn(kSortByName);
    icons->setUniformItemSizes(true);
    icons->setMovement(QListView::Static);
    icons->setResizeMode(QListView::Adjust);
    icons->setLayoutMode(QListView::Batched);
    icons->setWrapping(true);
    // The two views show one model with one selection.
    icons->setSelectionModel(m_table->selectionModel());
    connectView(icons);
    addWidget(icons);
}

void DetailsList::connectView(QAbstractItemView* view) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    // Files dropped onto the list go where a drop onto the grid sends them;
    // the viewport gets the drag events, so it is the one watched.
    view->viewport()->setAcceptDrops(true);
    view->viewport()->installEventFilter(this);
    // Tab leaves the list for the document's next view instead of stepping
    // through the cells.
    view->installEventFilter(this);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette colours = view->palette();
    colours.setColor(QPalette::Base, toQColor(m_options.background));
    colours.setColor(QPalette::Text, toQColor(m_options.text));
    view->setPalette(colours);
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            open(index.row());
    });
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](QPoint point) { showContextMenu(view, point); });
    // Both views share the table's selection model; it is connected once.
    if (view == m_table) {
        QItemSelectionModel* selection = view->selectionModel();
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                &DetailsList::selectionChangedByUser);
        connect(selection, &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current) { currentChangedByUser(current); });
    }
}

QAbstractItemView* DetailsList::currentView() const {
    return m_style == Style::Details ? static_cast<QAbstractItemView*>(m_table) : m_iconView;
}

void DetailsList::setStyle(Style style) {
    m_style = style;
    if (style != Style::Details) {
        const bool large = style == Style::LargeIcons;
        m_iconView->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        m_iconView->setFlow(style == Style::List ? QListView::TopToBottom : QListView::LeftToRight);
        m_iconView->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        m_iconView->setGridSize(large ? QSize(96, 64) : QSize());
        m_iconView->setSpacing(large ? 0 : 2);
        m_iconView->setWordWrap(large);
    }
    const bool focused = hasFocus() || isAncestorOf(focusWidget());
    setCurrentWidget(currentView());
    setFocusProxy(currentView());
    if (focused)
        currentView()->setFocus();
    syncCurrent(true);
}

void DetailsList::saveSettings() {
    const QHeaderView* header = m_table->horizontalHeader();
    for (int column = 0; column < kSortColumnCount; ++column) {
        const auto c = static_cast<std::size_t>(column);
        // A column the user dragged to nothing keeps width 0, as shown.
        m_options.widths[c] = header->sectionSize(column);
        m_options.order[c] = header->logicalIndex(column);
    }
    SettingsStore::Batch batch(m_settings);
    m_options.save(m_settings);
    m_state.save(m_settings);
}

// --- rows

void DetailsList::rebuildRows() {
    m_model->setRows(displayedRows(m_document, m_document.services()));
}

bool DetailsList::rowsMatchDocument() const {
    const std::vector<SortRow>& rows = m_model->rows();
    if (static_cast<int>(rows.size()) != m_document.displayedCount())
        return false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].entryIndex != m_document.entryIndexAt(static_cast<int>(i)))
            return false;
    }
    return true;
}

void DetailsList::gatherRemoval(int position) {
    // A single removal is shown at once; the rest of a burst waits. The
    // positions of one removal come from the last to the first, so each
    // still names the row it named when the burst began; anything else is
    // taken as it stands.
    if (!m_removalBurst) {
        m_removalBurst = true;
        QTimer::singleShot(0, this, [this] {
            removeGatheredRows();
            m_removalBurst = false;
        });
        m_model->removeRowsAt({position});
        return;
    }
    if (!m_gatheredRemovals.empty() && position >= m_gatheredRemovals.back())
        removeGatheredRows();
    m_gatheredRemovals.push_back(position);
}

void DetailsList::removeGatheredRows() {
    if (m_gatheredRemovals.empty())
        return;
    const int top = currentView()->verticalScrollBar()->value();
    const bool reset = m_model->removeRowsAt(std::exchange(m_gatheredRemovals, {}));
    if (!reset)
        return;
    syncSelection();
    syncCurrent(false);
    currentView()->verticalScrollBar()->setValue(top);
}

void DetailsList::refreshRow(int position) {
    const PictureSource* entry = m_document.entryAt(position);
    if (entry == nullptr || position >= m_model->rowCount())
        return;
    m_model->replaceRow(position,
                        makeSortRow(*entry, m_document.entryIndexAt(position),
                                    m_document.services(), m_document.options().sortDateTaken));
}

void DetailsList::appendFoundRow(int position) {
    // Entries come in display order; one the list has already (a repeated
    // notice) or one beyond the next row would put rows out of step.
    if (position != m_model->rowCount())
        return;
    const PictureSource* entry = m_document.entryAt(position);
    if (entry != nullptr)
        m_model->appendRow(makeSortRow(*entry, m_document.entryIndexAt(position),
                                       m_document.services(), m_document.options().sortDateTaken));
}

void DetailsList::showHeadings(bool plain) {
    std::array<QString, kSortColumnCount> headings;
    for (int column = 0; column < kSortColumnCount; ++column) {
        const std::string_view text = plain ? sortHeading(column, 0) : m_state.heading(column);
        headings[static_cast<std::size_t>(column)] =
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    m_model->setHeadings(headings);
}

bool DetailsList::order(std::span<const SortKey> keysNewestFirst) {
    showHeadings(false);
    if (keysNewestFirst.empty() || m_document.isScanning())
        return false;
    if (!rowsMatchDocument())
        rebuildRows();
    const int top = currentView()->verticalScrollBar()->value();
    if (m_model->rowCount() >= 2) {
        m_model->sortBy(keysNewestFirst);
        // The rows are the displayed entries, so this cannot be refused;
        // should it be, the list shows the document's order again.
        if (!copyOrderToDocument(m_document, m_model->rows(), this))
            rebuildRows();
    }
    syncSelection();
    syncCurrent(false);
    currentView()->verticalScrollBar()->setValue(top);
    return true;
}

void DetailsList::headingClicked(int column) {
    const SortKey key = m_state.headingClicked(column);
    m_state.save(m_settings);
    order(std::span<const SortKey>(&key, 1));
}

// --- selection and the current entry

// Others change the selection one entry at a time (selecting all of a large
// folder is one notice per entry), while the selection of a list view is a
// list of ranges that each single change would have to be merged into; so
// the changes are gathered and the whole selection is taken once.
void DetailsList::scheduleSelectionSync() {
    if (m_selectionSyncPending)
        return;
    m_selectionSyncPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_selectionSyncPending)
            syncSelection();
    });
}

void DetailsList::syncSelection() {
    m_selectionSyncPending = false;
    QItemSelection selection;
    const int count = std::min(m_model->rowCount(), m_document.displayedCount());
    const int last = kSortColumnCount - 1;
    for (int row = 0; row < count;) {
        const PictureSource* entry = m_document.entryAt(row);
        if (entry == nullptr || !entry->isSelected()) {
            ++row;
            continue;
        }
        int end = row;
        while (end + 1 < count && m_document.entryAt(end + 1)->isSelected())
            ++end;
        selection.select(m_model->index(row, 0), m_model->index(end, last));
        row = end + 1;
    }
    const bool before = std::exchange(m_syncing, true);
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = before;
}

void DetailsList::syncCurrent(bool scroll) {
    const int focus = m_document.focusedPosition();
    QItemSelectionModel* selection = m_table->selectionModel();
    const bool before = std::exchange(m_syncing, true);
    if (focus >= 0 && focus < m_model->rowCount()) {
        const int column = std::max(0, selection->currentIndex().column());
        selection->setCurrentIndex(m_model->index(focus, column), QItemSelectionModel::NoUpdate);
        if (scroll)
            currentView()->scrollTo(m_model->index(focus, column));
    } else {
        selection->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }
    m_syncing = before;
}

void DetailsList::selectionChangedByUser(const QItemSelection& selected,
                                         const QItemSelection& deselected) {
    if (m_syncing)
        return;
    // One row tells the others which; a range (Shift, Ctrl+A) is told once
    // as a whole, not as thousands of single changes.
    std::vector<std::pair<int, bool>> changed;
    const auto take = [&](const QItemSelection& ranges, bool flag) {
        for (const QItemSelectionRange& range : ranges) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const PictureSource* entry = m_document.entryAt(row);
                if (entry == nullptr || entry->isSelected() == flag)
                    continue;
                m_document.setSelected(row, flag ? PictureSource::kSelected : 0);
                changed.emplace_back(row, flag);
            }
        }
    };
    take(deselected, false);
    take(selected, true);
    if (changed.size() == 1)
        m_document.updateAllViews(this,
                                  hint::SelectionChanged{changed[0].second, changed[0].first});
    else if (!changed.empty())
        m_document.updateAllViews(this, hint::AllSelection{});
}

void DetailsList::currentChangedByUser(const QModelIndex& current) {
    if (m_syncing || !current.isValid())
        return;
    const bool before = std::exchange(m_settingCurrent, true);
    m_document.setFocus(current.row());
    m_settingCurrent = before;
}

// --- opening, menus, dragging

void DetailsList::open(int position) {
    if (position < 0 || position >= m_document.displayedCount())
        return;
    // The grid opens entries for every view, the way its own double-click
    // does.
    m_document.updateAllViews(this, hint::OpenEntry{position});
}

void DetailsList::showContextMenu(QAbstractItemView* view, QPoint point) {
    if (m_grid == nullptr)
        return;
    const QModelIndex index = view->indexAt(point);
    const int position = index.isValid() ? index.row() : m_document.focusedPosition();
    m_grid->showEntryMenu(position, view->viewport()->mapToGlobal(point));
}

void DetailsList::startDrag() {
    if (m_grid != nullptr && m_document.selectedCount(false) > 0)
        m_grid->startDrag();
}

bool DetailsList::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab ||
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return QStackedWidget::eventFilter(watched, event);
        focusNextView(m_document, *this, *this);
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (m_grid == nullptr)
            return false;
        m_grid->answerDragOver(static_cast<QDropEvent*>(event));
        return true;
    case QEvent::Drop:
        if (m_grid == nullptr)
            return false;
        m_grid->takeDrop(static_cast<QDropEvent*>(event));
        return true;
    default:
        return QStackedWidget::eventFilter(watched, event);
    }
}

void DetailsList::viewerClosed() {
    m_document.updateAllViews(this, hint::CloseViewer{});
}

// --- document hints

void DetailsList::onUpdate(DocumentView*, const UpdateHint& update) {
    if (!std::holds_alternative<hint::EntryRemoved>(update))
        removeGatheredRows();
    visitHint(
        update,
        [this](const hint::ListEmptied&) {
            m_model->clear();
            showHeadings(true);
        },
        [this](const hint::ScanFinished&) {
            // With SyncFind and ScanSPI the rows came in complete during the
            // scan; otherwise they lack what identification found.
            const DocumentOptions& o = m_document.options();
            if (!(o.syncFind && o.scanSpi) || !rowsMatchDocument())
                rebuildRows();
            if (!order(m_state.reapply())) {
                syncSelection();
                syncCurrent(false);
            }
        },
        [this](const hint::RedrawAll&) {
            if (m_document.isScanning())
                return;
            if (!rowsMatchDocument())
                rebuildRows();
            else
                currentView()->viewport()->update();
            syncSelection();
            syncCurrent(false);
        },
        [this](const hint::EntryAccepted& accepted) {
            if (m_document.options().syncFind)
                appendFoundRow(accepted.position);
        },
        [this](const hint::EntryRemoved& removed) { gatherRemoval(removed.position); },
        [this](const hint::RedrawEntry& redraw) { refreshRow(redraw.position); },
        [this](const hint::SelectionChanged&) { scheduleSelectionSync(); },
        [this](const hint::AllSelection&) { scheduleSelectionSync(); },
        [this](const hint::FocusChanged& change) {
            if (!change.focused || m_settingCurrent)
                return;
            const bool before = std::exchange(m_syncing, true);
            const QModelIndex index = m_model->index(change.position, 0);
            m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            m_syncing = before;
            // With Synchronous the list follows a current entry chosen
            // elsewhere, scrolling only when it is out of sight.
            if (m_document.options().synchronous && index.isValid())
                currentView()->scrollTo(index, QAbstractItemView::EnsureVisible);
        },
        [this](const hint::FirstVisible& first) {
            const QModelIndex index = m_model->index(first.position, 0);
            if (index.isValid())
                currentView()->scrollTo(index, QAbstractItemView::PositionAtTop);
        },
        [this](const hint::StartupFinished&) { currentView()->setFocus(); });
}

// --- commands

std::optional<CommandState> DetailsList::listCommandState(int id) const {
    if (SortState::handlesCommand(id))
        return CommandState{m_state.commandEnabled(id), m_state.commandChecked(id)};
    if (const auto style = styleOfCommand(id))
        return CommandState{true, *style == m_style};
    return std::nullopt;
}

bool DetailsList::onListCommand(int id) {
    if (SortState::handlesCommand(id)) {
        const std::vector<SortKey> keys = m_state.applyCommand(id);
        m_state.save(m_settings);
        order(keys);
        return true;
    }
    if (const auto style = styleOfCommand(id)) {
        setStyle(*style);
        return true;
    }
    return false;
}

std::optional<CommandState> DetailsList::commandState(int id) const {
    if (auto own = listCommandState(id))
        return own;
    switch (id) {
    case kCmdOpenViewer:
        return CommandState{m_document.focusedPosition() >= 0, false};
    case kCmdNextPage:
    case kCmdPreviousPage:
        return CommandState{};
    default:
        break;
    }
    return m_grid != nullptr ? m_grid->commandState(id) : std::nullopt;
}

bool DetailsList::onCommand(int id) {
    if (onListCommand(id))
        return true;
    switch (id) {
    case kCmdOpenViewer:
        open(m_document.focusedPosition());
        return true;
    case kCmdNextPage:
    case kCmdPreviousPage: {
        QScrollBar* bar = currentView()->verticalScrollBar();
        bar->setValue(bar->value() + (id == kCmdNextPage ? bar->pageStep() : -bar->pageStep()));
        return true;
    }
    default:
        break;
    }
    return m_grid != nullptr && m_grid->onCommand(id);
}

} // namespace vemra
