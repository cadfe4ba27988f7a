#pragma once

#include "document/sort_state.h"
#include "framework/command_target.h"
#include "framework/document_base.h"
#include "views/details_list_options.h"

#include <QStackedWidget>

#include <span>
#include <vector>

class QAbstractItemView;
class QItemSelection;
class QListView;
class QModelIndex;
class QTableView;

namespace vemra {

class DetailsListModel;
class FolderDocument;
class SettingsStore;
class ThumbnailGrid;

// The details list above the thumbnail grid: one row per displayed entry in
// the document's order, with ten columns (name, extension, size, date,
// pixels, archive, information, decoder, note, folder), or the same entries
// as large icons, small icons or a list. It mirrors the grid's selection and
// current entry, orders the rows by header clicks and the sort menu with a
// remembered history of keys, and writes its order back to the document so
// that the grid follows.
//
// It owns the "LstView" keys but "Window" (the frame lays out the pane):
// read when it is made, written when it goes; the sort history also each
// time it changes.
class DetailsList : public QStackedWidget, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    enum class Style { LargeIcons, SmallIcons, List, Details };

    DetailsList(FolderDocument& document, SettingsStore& settings, QWidget* parent = nullptr);
    ~DetailsList() override;

    // The grid lends the list its context menu, its drag of the selection
    // and the commands the list does not answer itself (null: none).
    void setGrid(ThumbnailGrid* grid) { m_grid = grid; }

    DetailsListModel& model() const { return *m_model; }
    QTableView* table() const { return m_table; }
    QListView* iconView() const { return m_iconView; }
    // The view of the present style.
    QAbstractItemView* currentView() const;
    Style style() const { return m_style; }
    void setStyle(Style style);
    const SortState& sortState() const { return m_state; }
    const DetailsListOptions& options() const { return m_options; }

    // A click on the header of `column`: its next sort code.
    void headingClicked(int column);
    // Takes the selection of every row from the document now (the list
    // otherwise gathers the changes others make and takes them once the
    // event loop runs).
    void syncSelection();
    // A viewer window closed: the document's views are told.
    void viewerClosed();
    // Writes the "LstView" keys it owns (also done when it goes).
    void saveSettings();

    // The list's own commands, which the frame also routes here: the sort
    // menu and the four styles.
    std::optional<CommandState> listCommandState(int id) const;
    bool onListCommand(int id);

    // --- DocumentView, CommandTarget (while the list is the active view)
    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;
    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

protected:
    // Drops onto either view are handed to the grid; Tab goes to the next
    // view of the document.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpTable();
    void setUpIconView();
    void connectView(QAbstractItemView* view);

    // Rows
    void rebuildRows();
    bool rowsMatchDocument() const;
    void refreshRow(int position);
    // Entries leave the document with one notice each, from the last to the
    // first; the rows go together when another notice comes or the event
    // loop runs (removing 10,000 of 100,000 rows one at a time moved rows
    // for seconds).
    void gatherRemoval(int position);
    void removeGatheredRows();
    void appendFoundRow(int position);
    // Orders the rows by `keysNewestFirst`, shows the present key's heading
    // and writes the order back to the document; then the selection and the
    // current row are taken again. False when there was nothing to order.
    bool order(std::span<const SortKey> keysNewestFirst);
    void showHeadings(bool plain);

    // Selection and current entry
    void scheduleSelectionSync();
    void syncCurrent(bool scroll);
    void selectionChangedByUser(const QItemSelection& selected, const QItemSelection& deselected);
    void currentChangedByUser(const QModelIndex& current);
    void open(int position);
    void showContextMenu(QAbstractItemView* view, QPoint point);
    void startDrag();

    FolderDocument& m_document;
    SettingsStore& m_settings;
    DetailsListOptions m_options;
    SortState m_state;
    DetailsListModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QListView* m_iconView = nullptr;
    ThumbnailGrid* m_grid = nullptr;
    Style m_style = Style::Details;
    // Set while the list itself changes the selection or the current row,
    // so that the views' signals are not taken for the user's doing.
    bool m_syncing = false;
    bool m_settingCurrent = false;
    bool m_selectionSyncPending = false;
    std::vector<int> m_gatheredRemovals;
    bool m_removalBurst = false;
};

} // namespace vemra
