#pragma once

#include "document/cell_painter.h"
#include "framework/command_target.h"
#include "framework/document_base.h"
#include "framework/selection_tally.h"
#include "platform/field_list.h"
#include "views/grid_layout.h"
#include "views/grid_options.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPixmap>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QImage;
class QMenu;
class QMimeData;
class QTemporaryDir;

namespace vemra {

class FolderDocument;
class CommandActions;
class CommandRouter;
class DragFiles;
class DragMimeData;
class PictureSource;
class ProgressRequests;
class ProgressWindow;
class ProgressWindowRequests;
class SettingsStore;
class ViewerList;
struct CellGeometry;
struct DocumentOptions;

// The thumbnail grid: one equal cell per displayed entry of the document,
// in display order, with the entry's thumbnail (or its file-type icon) and
// caption lines. Painting only shows what is in memory; thumbnails are
// looked up and made in idle time (idleStep), first for the visible cells,
// then, with ThumbsCreate, for every entry, so that scrolling and keys stay
// responsive in large folders.
class ThumbnailGrid : public QAbstractScrollArea, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    // The idle stages: nothing to do, draw the visible cells, make the
    // visible thumbnails, make all thumbnails.
    enum class Stage { Idle = 0, DrawVisible = 1, MakeVisible = 2, MakeAll = 3 };

    explicit ThumbnailGrid(FolderDocument& document, QWidget* parent = nullptr);
    ~ThumbnailGrid() override;

    // --- layout and scrolling
    const GridLayout& layout() const { return m_layout; }
    QSize cellSize() const;
    // The exact vertical position in pixels.
    long long top() const { return m_top; }
    void scrollToTop(long long top);
    // The entry under `point` (viewport coordinates), or -1.
    int hitTest(QPoint point) const;
    // The cell of entry `position` in viewport coordinates.
    QRect cellRectInView(int position) const;
    // Takes an explicit cell size (a stored size of the size menu), clamped
    // to the client area and ThumbsLimitSize, and makes it the remembered
    // size; scrolls to the top.
    void setCellSize(int width, int height);
    // Enlarges or shrinks the cells by ScaleStep (sign of `steps`).
    void stepCellSize(int steps);
    // Divides the width into `columns` columns; 0 restores the remembered
    // size (the size at start-up or of the last explicit request).
    void divideColumns(int columns);

    // --- idle work: one batch of the current stage; true when more is wanted
    bool idleStep(int count);
    Stage stage() const { return m_stage; }

    // --- selection
    // Moves the current entry to `position` as a key would (Shift: range,
    // Ctrl: just move, neither: select only it).
    void moveCurrent(int position, Qt::KeyboardModifiers modifiers);
    // How an entry is run with its associated application (replaceable
    // for tests).
    void setOpener(std::function<void(const std::string& path)> opener) {
        m_opener = std::move(opener);
    }
    // Opens the entry in the viewer (the first one, or a new window).
    void openEntry(int position, bool newWindow = false);
    // The viewer windows the grid opened.
    ViewerList& viewers() { return *m_viewers; }
    // How a picture is shown in a viewer window and in the full-screen
    // window; by default the viewer list and the slide show (replaceable
    // for tests, which look at what would open instead).
    using ViewerOpener = std::function<void(int position, bool newWindow)>;
    void setViewerOpener(ViewerOpener opener) { m_viewerOpener = std::move(opener); }
    using FullScreenRunner = std::function<void(int position)>;
    void setFullScreenRunner(FullScreenRunner runner) { m_fullScreenRunner = std::move(runner); }

    // --- context menus and opening (thumbnail_grid_menu.cpp, thumbnail_grid_open.cpp)
    // The actions (and through them the router) the menus and the opening
    // rules send commands with; without them the grid routes through a
    // router of its own (itself, then the document).
    void setCommandActions(CommandActions* actions);
    // The grid's own settings (section "KPView"); its owner loads and saves them.
    GridOptions& options() { return m_options; }
    const GridOptions& options() const { return m_options; }
    void setOptions(const GridOptions& options);
    // The colour drawn outside the cells (KPView colBackground, else the theme's).
    QColor outsideColour() const { return m_outside; }
    // One cell of `size` showing `entry` as the grid would draw it with the
    // document options `options` (the settings dialog's live preview). The
    // grid's own state is as before when it returns.
    QImage renderCell(const DocumentOptions& options, const PictureSource& entry, QSize size);
    // Where the external applications are read from; null: none.
    void setSettingsStore(SettingsStore* store);
    // Shows a context menu; replaceable so that tests can look at the menu
    // instead of waiting for a choice.
    using MenuExec = std::function<void(QMenu& menu, QPoint globalPosition)>;
    void setMenuExec(MenuExec exec) { m_menuExec = std::move(exec); }
    // The context menu at `point` (viewport coordinates), or from the
    // keyboard for the current entry.
    void showContextMenu(QPoint point, bool fromKeyboard);
    // The same menu for display position `entry` (-1: none) at `global`
    // (screen coordinates), as the details list shows it for its rows.
    void showEntryMenu(int entry, QPoint global);
    // The command opening an entry sends: Shift runs it with its associated
    // application, Ctrl opens it in the viewer, else the IDViewer option.
    int openingCommand(Qt::KeyboardModifiers modifiers) const;
    // Opens `position` as a double-click or Enter does (the OpenEntryByKeys hint).
    void openByKeys(int position, Qt::KeyboardModifiers modifiers);
    // Called after every idle stage ends (the frame refreshes its title and
    // status panes).
    void setAfterPass(std::function<void()> callback) { m_afterPass = std::move(callback); }
    // The progress display the grid lends to long commands run for it.
    ProgressRequests& progress();
    // Its window, while shown.
    ProgressWindow* progressWindow() const;

    // --- clipboard and drag out (thumbnail_grid_transfer.cpp)
    // Where a pasted picture is saved: the path and whether as JPEG; none
    // when the user cancelled. Replaceable for tests.
    struct SaveChoice {
        std::string path;
        bool jpeg = false;
    };
    using SaveDialog = std::function<std::optional<SaveChoice>(const std::string& folder)>;
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // Runs a drag of `data` and gives the target's action; replaceable for
    // tests, which have no drop target.
    using DragExec = std::function<Qt::DropAction(QMimeData& data)>;
    void setDragExec(DragExec exec) { m_dragExec = std::move(exec); }
    void copySelection(bool cut);
    // Pastes files on the clipboard into the folder (moved when they were
    // cut), or a picture alone as a new file.
    void pasteClipboard();
    // Drags the selection out of the grid; after the drop, plain files the
    // target moved away leave the document.
    void startDrag();
    // A move with the left button held starts a drag once the clock has
    // turned to a later whole second than at the press, or the pointer is
    // over another entry than the pressed one, or over none.
    static bool dragShouldStart(long long pressSecond, long long nowSecond, int pressed, int under);
    // Files dragged over or dropped onto the grid, or onto a view that lends
    // the grid its drops (the details list): copied or moved into the shown
    // folder as the keys and "DaDMove" say.
    void answerDragOver(QDropEvent* event);
    void takeDrop(QDropEvent* event);

    // --- DocumentView, CommandTarget
    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;
    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;
    // The entry the grid's commands act on: the last one clicked, else the
    // current one; -1 for none.
    int commandEntry() const;

signals:
    // How far the thumbnails of the whole folder are made, 0-100; 0 also
    // clears an earlier report.
    void thumbnailProgress(int percent);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Drops of files (thumbnail_grid_transfer.cpp).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // --- hints (thumbnail_grid.cpp)
    void listEmptied();
    void scanFinished();

    // --- layout (thumbnail_grid.cpp)
    void relayout();
    void updateScrollBar();
    void restartPainting(bool resetBackground);
    void redrawEntry(int position);
    bool entryVisible(int position) const;
    void ensureVisible(int position);
    // Clamps and takes a cell size without remembering it.
    void applyCellSize(int width, int height);

    // --- drawing (thumbnail_grid_paint.cpp)
    void reloadAppearance();
    CellGeometry geometry() const;
    // Draws one cell at `cell` (viewport coordinates); true when a
    // thumbnail was drawn.
    bool drawCell(QPainter& painter, const PictureSource& entry, const QRect& cell);
    const QPixmap& iconFor(const PictureSource& entry);

    // --- idle stages (thumbnail_grid_idle.cpp)
    bool stageDrawVisible();
    bool stageMakeVisible();
    bool stageMakeAll();
    // Gives the finished thumbnails to their cells and keeps the budget.
    void applyFinishedThumbnails();
    // Has a finished thumbnail wake the idle work.
    void listenForThumbnails();
    void reportProgress(int percent);
    void resetBackgroundStage();

    // --- selection and keys (thumbnail_grid_input.cpp)
    void select(int position, bool selected);
    // Redraws what one action changed and tells the other views once.
    void tellSelection(const SelectionTally& tally);
    // Selects `position` alone.
    void selectOnly(int position);
    void selectRange(int to, bool keepOthers);
    void toggle(int position);
    bool captionHit(int position, QPoint point) const;
    // The pointer shows where a click toggles (a caption, or Ctrl held)
    // and where it selects.
    void updatePointer(QPoint point, Qt::KeyboardModifiers modifiers);
    // Makes `position` the document's current entry; the grid brings its
    // own choices into view as keys do, not as FocusChanged does for others'.
    void setCurrent(int position);
    void scrollJustEnough(int position);

    // --- menus, opening, reloading, progress (thumbnail_grid_menu.cpp, thumbnail_grid_open.cpp)
    CommandActions& actions();
    bool sendCommand(int id);
    void addApplicationMenu(QMenu& menu, int selected);
    void openInViewer(int position, bool newWindow);
    void runFullScreen(int position);
    void openSelection();
    void runAssociated(int position);
    void reloadEntry(int position);
    // After every stage: the frame's refresh and, with SyncJump, FirstVisible.
    void passFinished();
    void drawFoundEntry(int position);

    // --- clipboard and drag (thumbnail_grid_transfer.cpp)
    std::optional<CommandState> transferCommandState(int id) const;
    bool onTransferCommand(int id);
    void armDrag(Qt::MouseButton button, int position);
    // A drop target asked `data` for the file list of the drag.
    std::optional<std::vector<std::string>> dragFileList(const DragMimeData& data);
    // The action a drop of `data` with `modifiers` gets (none while the grid
    // itself drags or without files).
    Qt::DropAction dropActionFor(const QMimeData* data, Qt::KeyboardModifiers modifiers) const;

    FolderDocument& m_document;
    GridLayout m_layout;
    long long m_top = 0;
    bool m_settingBar = false;
    // What numpad 0 goes back to; set at start-up and by explicit requests.
    IntPair m_rememberedSize;

    // Appearance taken from the options.
    CellLook m_look;
    QColor m_outside;
    QHash<QString, QPixmap> m_icons;

    Stage m_stage = Stage::Idle;
    int m_visibleCursor = 0;
    int m_backgroundCursor = 0;
    bool m_reportedProgress = false;
    int m_lastPercent = 0;

    int m_anchor = -1;
    int m_rangeEnd = -1;
    bool m_rangeInProgress = false;
    int m_pressed = -1;
    bool m_selectOnRelease = false;
    std::function<void(const std::string&)> m_opener;
    ViewerOpener m_viewerOpener;
    FullScreenRunner m_fullScreenRunner;
    std::unique_ptr<ViewerList> m_viewers;

    CommandActions* m_actions = nullptr;
    std::unique_ptr<CommandRouter> m_ownRouter;
    // Actions for the grid's own router; declared after it, so they go first.
    std::unique_ptr<CommandActions> m_ownActions;
    SettingsStore* m_settings = nullptr;
    GridOptions m_options;
    MenuExec m_menuExec;
    std::function<void()> m_afterPass;
    std::unique_ptr<ProgressWindowRequests> m_progress;
    // Archive members extracted for other programs; removed with the grid.
    std::unique_ptr<QTemporaryDir> m_extracted;
    int m_extractedCount = 0;
    bool m_settingCurrent = false;
    // Entries found so far by a scan that draws them as it goes (EntryAccepted).
    int m_found = 0;

    SaveDialog m_saveDialog;
    DragExec m_dragExec;
    bool m_dragArmed = false;
    long long m_pressSecond = 0;
    DragFiles* m_drag = nullptr;
    DragMimeData* m_dragData = nullptr;
};

} // namespace vemra
