#include "views/main_window.h"

#include "document/display_filter.h"
#include "document/folder_document.h"
#include "framework/command_actions.h"
#include "framework/command_table.h"
#include "framework/folder_monitor.h"
#include "framework/scan_interruption.h"
#include "settings/settings_store.h"
#include "views/details_list.h"
#include "views/display_filter_dialog.h"
#include "views/file_commands.h"
#include "views/folder_tree.h"
#include "views/main_status_bar.h"
#include "views/output_commands.h"
#include "views/progress_window_sink.h"
#include "views/thumb_size_menu.h"
#include "views/thumbnail_grid.h"

#include <QMenuBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <utility>

namespace vemra {
namespace {

// The remembered cell size an id stands for: 8101 + n, or 8000 (keypad 0).
constexpr int kRestoreRememberedSize = kCmdDivideFirst;

} // namespace

MainWindow::MainWindow(FolderDocument& document, DecoderRegistry* registry, SettingsStore& settings)
    : m_document(document), m_registry(registry), m_settings(settings),
      m_frameSettings(FrameSettings::load(settings)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Vemra"));
    const IntRect& w = m_frameSettings.window;
    resize(std::clamp(w.right, 200, 20000), std::clamp(w.bottom, 150, 20000));
    move(w.left, w.top);

    m_fileCommands = std::make_unique<FileCommands>(this, document, settings);
    m_router.setTarget(CommandRouter::Level::Document, &m_document);
    m_router.setTarget(CommandRouter::Level::Frame, this);

    // One action per command: every command of the frame's table, so that
    // its keys work anywhere in the window, and the menu bar from the
    // shared layout.
    m_commands = new CommandActions(m_router, CommandScope::MainWindow, this);
    m_commands->createAll();
    m_commands->buildMenuBar(menuBar(), mainMenuLayout());
    createToolBars();
    m_statusBar = new MainStatusBar(this);
    setStatusBar(m_statusBar);
    createPanes();

    m_toolBar->setVisible(m_frameSettings.toolBar);
    m_pluginSetBar->setVisible(m_frameSettings.pluginSetBar);
    m_statusBar->setVisible(m_frameSettings.statusBar);
    m_progressSink = std::make_unique<ProgressWindowSink>(this);
    document.setProgressSink(m_progressSink.get());
    m_output = std::make_unique<OutputCommands>(document, settings, this, m_progressSink.get(),
                                                [this] { return m_grid->outsideColour(); });
    m_output->setCommandEntry([this] { return m_grid->commandEntry(); });
    document.setInterruptionCheck(
        [this] { return m_interruption != nullptr && m_interruption->check(); });
    document.addView(this);
    updateCommandStates();
}

MainWindow::~MainWindow() {
    m_document.setProgressSink(nullptr);
    m_document.setInterruptionCheck({});
    m_router.setTarget(CommandRouter::Level::Application, nullptr);
    m_router.setActiveViewProvider({});
    m_router.setTarget(CommandRouter::Level::ActiveView, nullptr);
    if (document() != nullptr) {
        document()->removeView(this);
    }
}

void MainWindow::connectIdle(IdleDriver& driver) {
    m_commands->connectIdle(driver);
}

void MainWindow::setApplicationTarget(CommandTarget* target) {
    m_router.setTarget(CommandRouter::Level::Application, target);
    updateCommandStates();
}

void MainWindow::createPanes() {
    m_columns = new QSplitter(Qt::Horizontal, this);
    m_columns->setObjectName(QStringLiteral("columns"));
    m_tree = new FolderTree(m_document, m_settings,
                            m_frameSettings.shellTree ? FolderTree::Kind::Desktop
                                                      : FolderTree::Kind::Drives,
                            m_columns);
    m_tree->setDropHandler(
        [this](const std::vector<std::string>& paths, const std::string& target, bool move) {
            return dropPaths(this, m_document, &m_settings, paths, target, move) > 0;
        });
    connect(m_tree, &FolderTree::statusText, this,
            [this](int pane, const QString& text) { setStatusText(pane, text.toStdString()); });
    m_monitor = new FolderMonitor(this);
    m_monitor->setEntryCount([this] { return m_document.displayedCount(); });
    m_monitor->setBusy([this] { return m_document.isScanning(); });
    connect(m_monitor, &FolderMonitor::changed, this, &MainWindow::shownFolderChanged);
    m_rows = new QSplitter(Qt::Vertical, m_columns);
    m_rows->setObjectName(QStringLiteral("rows"));
    m_details = new DetailsList(m_document, m_settings, m_rows);
    m_grid = new ThumbnailGrid(m_document, m_rows);
    m_details->setGrid(m_grid);
    connect(m_grid, &ThumbnailGrid::thumbnailProgress, this,
            [this](int percent) { setStatusProgress(MainStatusBar::kProgressPane, percent); });
    m_grid->setCommandActions(m_commands);
    m_grid->setSettingsStore(&m_settings);
    m_grid->setOptions(GridOptions::load(m_settings));
    m_grid->setAfterPass([this] { showStatusSummary(); });
    connect(this, &MainWindow::cellSizeRequested, m_grid,
            [this](int width, int height) { m_grid->setCellSize(width, height); });
    connect(this, &MainWindow::columnsRequested, m_grid,
            [this](int columns) { m_grid->divideColumns(columns); });
    // The active view is the list while it has the focus (it passes what it
    // does not answer on to the grid), else the grid.
    m_router.setActiveViewProvider([this]() -> CommandTarget* {
        const QWidget* focus = focusWidget();
        if (m_details != nullptr && focus != nullptr && m_details->isAncestorOf(focus))
            return m_details;
        return m_grid;
    });
    m_columns->addWidget(m_tree);
    m_columns->addWidget(m_rows);
    m_rows->addWidget(m_details);
    m_rows->addWidget(m_grid);
    m_columns->setStretchFactor(1, 1);
    m_rows->setStretchFactor(1, 1);
    const int width = std::max(this->width(), 400);
    const int height = std::max(this->height(), 300);
    const int tree = std::clamp(m_frameSettings.treePane.first, 40, width - 40);
    const int list = std::clamp(m_frameSettings.listPane.second, 20, height - 40);
    m_columns->setSizes({tree, width - tree});
    m_rows->setSizes({list, height - list});
    setCentralWidget(m_columns);
}

QAction* MainWindow::action(int id) const {
    return m_commands->find(id);
}

void MainWindow::updateCommandStates() {
    m_commands->updateAll();
}

bool MainWindow::runCommand(int id) {
    const bool ran = m_router.route(id);
    if (!m_closing) {
        updateCommandStates();
    }
    return ran;
}

// --- the frame's commands

std::optional<CommandState> MainWindow::commandState(int id) const {
    // The sort menu and the list styles are the list's, wherever the focus is.
    if (auto list = m_details != nullptr ? m_details->listCommandState(id) : std::nullopt) {
        return list;
    }
    if (auto folder = folderCommandState(id)) {
        return folder;
    }
    if (auto files = m_fileCommands->commandState(id)) {
        return files;
    }
    if (auto output = m_output ? m_output->commandState(id) : std::nullopt) {
        return output;
    }
    // Rules are asked from the moment the actions exist, before the bars do.
    auto shown = [this](const QWidget* bar) { return bar != nullptr && bar->isVisibleTo(this); };
    switch (id) {
    case kCmdViewToolBar:
        return CommandState{true, shown(m_toolBar)};
    case kCmdViewPluginSetBar:
        return CommandState{true, shown(m_pluginSetBar)};
    case kCmdViewStatusBar:
        return CommandState{true, shown(m_statusBar)};
    case kCmdAppExit:
        return CommandState{};
    case kCmdPluginSetList:
        return CommandState{m_registry != nullptr, false};
    case kCmdNextPane:
    case kCmdPreviousPane:
        return CommandState{};
    case kCmdDisplayFilter:
        return CommandState{true, DisplayFilter::fromOptions(m_document.options()).active()};
    case kCmdBehaviourOptions:
    case kCmdThumbnailOptions:
    case kCmdThumbnailMaintenance:
    case kCmdEditList:
        return CommandState{};
    case kCmdPluginSettings:
        return CommandState{m_registry != nullptr, false};
    default:
        break;
    }
    if (commandInRange(id, kCmdHistoryFirst, kCmdHistoryForwardFirst - 1)) {
        return CommandState{m_document.historyPosition() - 1 - (id - kCmdHistoryFirst) >= 0, false};
    }
    if (commandInRange(id, kCmdHistoryForwardFirst, kCmdHistoryLast)) {
        return CommandState{m_document.historyPosition() + 1 + (id - kCmdHistoryForwardFirst) <
                                static_cast<int>(m_document.history().size()),
                            false};
    }
    if (commandInRange(id, kCmdDivideFirst, kCmdRememberedSizeLast)) {
        return CommandState{};
    }
    return std::nullopt;
}

bool MainWindow::onCommand(int id) {
    if (onFolderCommand(id)) {
        return true;
    }
    if ((m_details != nullptr && m_details->onListCommand(id)) || m_fileCommands->onCommand(id) ||
        (m_output && m_output->onCommand(id))) {
        return true;
    }
    if (onOptionsCommand(id)) {
        return true;
    }
    switch (id) {
    case kCmdViewToolBar:
        m_toolBar->setVisible(!m_toolBar->isVisibleTo(this));
        return true;
    case kCmdViewPluginSetBar:
        m_pluginSetBar->setVisible(!m_pluginSetBar->isVisibleTo(this));
        return true;
    case kCmdViewStatusBar:
        m_statusBar->setVisible(!m_statusBar->isVisibleTo(this));
        return true;
    case kCmdAppExit:
        close();
        return true;
    case kCmdPluginSetList:
        onPluginSetChosen();
        return true;
    case kCmdNextPane:
    case kCmdPreviousPane:
        focusPane(id == kCmdNextPane ? 1 : -1);
        return true;
    case kCmdDisplayFilter:
        editDisplayFilter();
        return true;
    default:
        return onRangeCommand(id);
    }
}

void MainWindow::editDisplayFilter() {
    if (const auto filter = DisplayFilterDialog::ask(this, m_document, m_settings)) {
        m_document.applyDisplayFilter(*filter);
    }
}

void MainWindow::focusPane(int step) {
    QWidget* const panes[] = {m_tree, m_details, m_grid};
    int current = -1;
    for (int i = 0; i < 3; ++i) {
        if (panes[i]->hasFocus() || panes[i]->isAncestorOf(focusWidget())) {
            current = i;
        }
    }
    const int next = current < 0 ? 0 : (current + step + 3) % 3;
    panes[next]->setFocus(Qt::TabFocusReason);
}

bool MainWindow::onRangeCommand(int id) {
    if (commandInRange(id, kCmdHistoryFirst, kCmdHistoryForwardFirst - 1)) {
        m_document.goToHistory(m_document.historyPosition() - 1 - (id - kCmdHistoryFirst));
        return true;
    }
    if (commandInRange(id, kCmdHistoryForwardFirst, kCmdHistoryLast)) {
        m_document.goToHistory(m_document.historyPosition() + 1 + (id - kCmdHistoryForwardFirst));
        return true;
    }
    if (id == kCmdRememberSize) {
        IntPair current = m_document.thumbnailSize();
        if (current.first <= 0 || current.second <= 0) {
            current = m_document.options().thumbsSize;
        }
        thumb_size_menu::remember(m_settings, current);
        return true;
    }
    if (id == kRestoreRememberedSize ||
        commandInRange(id, thumb_size_menu::kRememberedBase, kCmdRememberedSizeLast)) {
        // Keypad 0 (8000) stands for the most recent remembered size.
        const int entry = id == kRestoreRememberedSize ? thumb_size_menu::kRememberedBase : id;
        if (const auto size = thumb_size_menu::rememberedSize(m_settings, entry)) {
            emit cellSizeRequested(size->first, size->second);
        }
        return true;
    }
    if (commandInRange(id, kCmdDivideFirst + 1, kCmdDivideLast)) {
        emit columnsRequested(id - kCmdDivideFirst);
        return true;
    }
    return false;
}

// --- document hints and requests

void MainWindow::onUpdate(DocumentView*, const UpdateHint& update) {
    using hint::OneOf;
    visitHint(
        update,
        [this](const hint::ScanFinished&) {
            m_interruption.reset(); // hands back the input it kept
            followShownFolder();
            showStatusSummary();
            updateCommandStates();
        },
        [this](const OneOf<hint::RedrawAll, hint::SelectionChanged, hint::AllSelection> auto&) {
            showStatusSummary();
            updateCommandStates();
        },
        [this](const hint::EntryRemoved&) {
            // Removals come one notice per entry, thousands at a time; the
            // summary walks every entry, so it is made once they are over.
            if (std::exchange(m_summaryPending, true))
                return;
            QTimer::singleShot(0, this, [this] {
                m_summaryPending = false;
                showStatusSummary();
                updateCommandStates();
            });
        },
        [this](const hint::ListEmptied&) {
            // A scan begins: input that stops it is watched for until it ends.
            m_interruption = std::make_unique<ScanInterruption>();
            updateCommandStates();
        });
}

void MainWindow::showStatusSummary() {
    if (m_document.isScanning()) {
        return;
    }
    const auto texts = m_document.statusSummary();
    for (int pane = 0; pane < static_cast<int>(texts.size()); ++pane) {
        m_statusBar->setPaneText(pane, texts[static_cast<std::size_t>(pane)]);
    }
    setWindowTitle(
        m_document.currentFolder().empty()
            ? QStringLiteral("Vemra")
            : QStringLiteral("%1 - Vemra").arg(QString::fromStdString(m_document.currentFolder())));
}

void MainWindow::setStatusText(int pane, const std::string& text) {
    m_statusBar->setPaneText(pane, text);
}

void MainWindow::setStatusProgress(int pane, int percent) {
    m_statusBar->setPaneProgress(pane, percent);
}

bool MainWindow::idle(int count) {
    return m_grid != nullptr && m_grid->idleStep(count);
}

void MainWindow::shownFolderChanged() {
    if (!m_document.isScanning() && !m_document.currentFolder().empty()) {
        m_document.refreshIfCurrent(m_document.currentFolder());
    }
}

} // namespace vemra
