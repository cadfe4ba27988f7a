#pragma once

#include "framework/command_router.h"
#include "framework/command_target.h"
#include "framework/document_base.h"
#include "views/frame_settings.h"
#include "views/window_placement.h"

#include <QMainWindow>

#include <memory>

#include <string>

class QComboBox;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;

namespace vemra {

class DetailsList;
class ThumbnailGrid;
class CommandActions;
class FileCommands;
class FolderMonitor;
class FolderTree;
class FolderDocument;
class MainStatusBar;
class OutputCommands;
class DecoderRegistry;
class IdleDriver;
class ProgressWindowSink;
class ScanInterruption;
class SettingsStore;

// The main window: menu bar, tool bar, plug-in-set bar, status bar, and the
// splitter layout of the folder tree (left) over the details list and the
// thumbnail grid (right, one above the other). It remembers its placement,
// its bars and its pane sizes, and routes every command of its menus, keys
// and buttons through the active view, the document, itself and the
// application.
class MainWindow : public QMainWindow, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    // `registry` may be null (no plug-in-set switching).
    MainWindow(FolderDocument& document, DecoderRegistry* registry, SettingsStore& settings);
    ~MainWindow() override;

    // The last handler of the routing chain (the application object).
    void setApplicationTarget(CommandTarget* target);
    // Brings the tool bar's buttons up to date whenever idle time begins.
    void connectIdle(IdleDriver& driver);
    CommandRouter& router() { return m_router; }

    // --- CommandTarget: the frame's own commands
    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;
    // Routes `id` as a menu item, key or button would.
    bool runCommand(int id);
    // Re-evaluates every action's enabling rule (menus do it as they open).
    void updateCommandStates();

    // --- DocumentView: status texts follow the document
    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;

    // --- requests from the panes, the viewers and the application
    // A text into status pane 0-2, or progress (percent; 0 clears) into a
    // pane; see MainStatusBar.
    void setStatusText(int pane, const std::string& text);
    void setStatusProgress(int pane, int percent);
    // One share of idle time: the grid's thumbnail work. True while more
    // is wanted.
    bool idle(int count);

    // --- placement
    WindowPlacement placement() const;
    void applyPlacement(const WindowPlacement& placement);
    // Writes placement, window, bars and pane sizes, and the tree's folder.
    void saveState();

    // --- parts, for the application and for tests
    QAction* action(int id) const;
    QMenu* sizeMenu() const { return m_sizeMenu; }
    QMenu* historyMenu(bool forward) const { return forward ? m_forwardMenu : m_backMenu; }
    MainStatusBar* mainStatusBar() const { return m_statusBar; }
    QToolBar* toolBar() const { return m_toolBar; }
    QToolBar* pluginSetBar() const { return m_pluginSetBar; }
    QComboBox* pluginSetList() const { return m_pluginSetList; }
    FolderTree* folderTree() const { return m_tree; }
    FolderMonitor* folderMonitor() const { return m_monitor; }
    DetailsList* detailsList() const { return m_details; }
    ThumbnailGrid* grid() const { return m_grid; }
    OutputCommands* outputCommands() const { return m_output.get(); }
    QSplitter* columns() const { return m_columns; }
    QSplitter* rows() const { return m_rows; }
    // "MainFrame" "FolderMonitor": watch the shown folder and read it again
    // after other programs changed it (the options dialog switches it).
    void setFolderMonitor(bool on);
    bool folderMonitorOn() const { return m_frameSettings.folderMonitor; }
    // Fills the plug-in-set bar's list from the registry.
    void reloadPluginSets();
    // Rebuilds the three drop-down menus as they would show when opened.
    void fillSizeMenu();
    void fillHistoryMenu(bool forward);

public slots:
    // The shown folder changed on disk: it is read again unless a scan runs.
    // Monitors on other threads connect to it queued, so it always runs on
    // the interface thread.
    void shownFolderChanged();

signals:
    // The grid requests of the size menu: take a stored cell size, or divide
    // the width into N columns; the grid connects to them.
    void cellSizeRequested(int width, int height);
    void columnsRequested(int columns);
    // The window closed (its state is saved by then).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createToolBars();
    void createPanes();
    void showStatusSummary();
    void onPluginSetChosen();
    bool onRangeCommand(int id);
    // F6 and Shift+F6: the next or previous of tree, details and grid.
    void focusPane(int step);
    // The folder commands of the main menu and Alt+arrows, for the tree.
    std::optional<CommandState> folderCommandState(int id) const;
    bool onFolderCommand(int id);
    // Follows the shown folder with the monitor (FolderMonitor on).
    void followShownFolder();
    // "表示フィルタ(&W)...": the dialog, then the document's new filter.
    void editDisplayFilter();
    // The settings dialogs of the options menu (main_window_options.cpp):
    // each writes its keys through their owners on OK, and the document and
    // the views take them at once.
    bool onOptionsCommand(int id);
    void editBehaviourOptions();
    void editThumbnailOptions();
    void editPlugins();
    void maintainThumbnailCache();

    FolderDocument& m_document;
    DecoderRegistry* m_registry;
    SettingsStore& m_settings;
    FrameSettings m_frameSettings;
    CommandRouter m_router;
    CommandActions* m_commands = nullptr;
    // Copy, move, delete, extraction and notes of the selected pictures.
    std::unique_ptr<FileCommands> m_fileCommands;

    MainStatusBar* m_statusBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_pluginSetBar = nullptr;
    QComboBox* m_pluginSetList = nullptr;
    QMenu* m_backMenu = nullptr;
    QMenu* m_forwardMenu = nullptr;
    QMenu* m_sizeMenu = nullptr;
    QSplitter* m_columns = nullptr;
    QSplitter* m_rows = nullptr;
    FolderTree* m_tree = nullptr;
    // Watches the shown folder (FolderMonitor) and reads it again after changes.
    FolderMonitor* m_monitor = nullptr;
    DetailsList* m_details = nullptr;
    ThumbnailGrid* m_grid = nullptr;
    // Shows the document's reading of folder-information files.
    std::unique_ptr<ProgressWindowSink> m_progressSink;
    // The catalog, report and contact-sheet commands.
    std::unique_ptr<OutputCommands> m_output;
    // Lets Escape or a click stop the scan in progress (from ListEmptied to ScanFinished).
    std::unique_ptr<ScanInterruption> m_interruption;
    bool m_closing = false;
    bool m_summaryPending = false;
};

} // namespace vemra
