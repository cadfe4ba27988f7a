#include "views/main_frame.h"

#include "app/settings_store.h"
#include "document/kp_doc.h"
#include "framework/command_actions.h"
#include "framework/command_table.h"
#include "framework/scan_interruption.h"
#include "framework/window_message_id.h"
#include "imaging/decoder_registry.h"
#include "views/entry_list_pane.h"
#include "views/folder_tree_pane.h"
#include "views/my_status_bar.h"
#include "views/progress_window_sink.h"
#include "views/thumb_size_menu.h"

#include <QApplication>

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace vemra {
namespace {

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

// The tool bar: button order and icons (from the icon theme, with the
// style's pictures where the theme has none).
struct ToolButton {
    int id;
    const char* themeName;
    QStyle::StandardPixmap fallback;
};
constexpr ToolButton kToolButtons[] = {
    {kCmdHistoryBack, "go-previous", QStyle::SP_ArrowBack},
    {kCmdHistoryForward, "go-next", QStyle::SP_ArrowForward},
    {kCmdRefresh, "view-refresh", QStyle::SP_BrowserReload},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdLargerThumbnails, "zoom-in", QStyle::SP_ArrowUp},
    {kCmdSmallerThumbnails, "zoom-out", QStyle::SP_ArrowDown},
    {kCmdPreviousPage, "go-up", QStyle::SP_ArrowLeft},
    {kCmdNextPage, "go-down", QStyle::SP_ArrowRight},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdCopyFiles, "edit-copy", QStyle::SP_FileIcon},
    {kCmdMoveFiles, "go-jump", QStyle::SP_FileLinkIcon},
    {kCmdDeleteFiles, "edit-delete", QStyle::SP_TrashIcon},
    {kCmdSaveThumbnails, "document-save", QStyle::SP_DialogSaveButton},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdDisplayFilter, "view-filter", QStyle::SP_FileDialogDetailedView},
    {kCmdAppAbout, "help-about", QStyle::SP_MessageBoxInformation},
};

// The remembered cell size an id stands for: 8101 + n, or 8000 (keypad 0).
constexpr int kRestoreRememberedSize = kCmdDivideFirst;

} // namespace

CMainFrame::CMainFrame(CKPDoc& document, DecoderRegistry* registry, SettingsStore& settings)
    : m_document(document), m_registry(registry), m_settings(settings),
      m_frameSettings(FrameSettings::load(settings)) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Vemra"));
    const IntRect& w = m_frameSettings.window;
    resize(std::clamp(w.right, 200, 20000), std::clamp(w.bottom, 150, 20000));
    move(w.left, w.top);

    m_router.setTarget(CommandRouter::Level::Document, &m_document);
    m_router.setTarget(CommandRouter::Level::Frame, this);

    // One action per command: every command of the frame's table, so that
    // its keys work anywhere in the window, and the menu bar from the
    // shared layout.
    m_commands = new CommandActions(m_router, CommandScope::MainFrame, this);
    m_commands->createAll();
    m_commands->buildMenuBar(menuBar(), mainMenuLayout());
    createToolBars();
    m_statusBar = new CMyStatusBar(this);
    setStatusBar(m_statusBar);
    createPanes();

    m_toolBar->setVisible(m_frameSettings.toolBar);
    m_pluginSetBar->setVisible(m_frameSettings.pluginSetBar);
    m_statusBar->setVisible(m_frameSettings.statusBar);
    m_progressSink = std::make_unique<ProgressWindowSink>(this);
    document.setProgressSink(m_progressSink.get());
    document.setInterruptionCheck(
        [this] { return m_interruption != nullptr && m_interruption->check(); });
    document.addView(this);
    updateCommandStates();
}

CMainFrame::~CMainFrame() {
    m_document.setProgressSink(nullptr);
    m_document.setInterruptionCheck({});
    m_router.setTarget(CommandRouter::Level::Application, nullptr);
    if (document() != nullptr) {
        document()->removeView(this);
    }
}

void CMainFrame::connectIdle(IdleDriver& driver) {
    m_commands->connectIdle(driver);
}

void CMainFrame::setApplicationTarget(CommandTarget* target) {
    m_router.setTarget(CommandRouter::Level::Application, target);
    updateCommandStates();
}

// --- actions, menus and bars

void CMainFrame::createToolBars() {
    m_toolBar = new QToolBar(QStringLiteral("ツール バー"), this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(!m_frameSettings.flatBar);
    m_backMenu = new QMenu(this);
    m_forwardMenu = new QMenu(this);
    m_sizeMenu = new QMenu(this);
    connect(m_backMenu, &QMenu::aboutToShow, this, [this] { fillHistoryMenu(false); });
    connect(m_forwardMenu, &QMenu::aboutToShow, this, [this] { fillHistoryMenu(true); });
    connect(m_sizeMenu, &QMenu::aboutToShow, this, &CMainFrame::fillSizeMenu);
    for (QMenu* menu : {m_backMenu, m_forwardMenu, m_sizeMenu}) {
        connect(menu, &QMenu::triggered, this,
                [this](QAction* chosen) { runCommand(chosen->data().toInt()); });
    }
    for (const ToolButton& button : kToolButtons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = action(button.id);
        a->setIcon(themeIcon(button.themeName, button.fallback));
        QMenu* dropDown = button.id == kCmdHistoryBack         ? m_backMenu
                          : button.id == kCmdHistoryForward    ? m_forwardMenu
                          : button.id == kCmdSmallerThumbnails ? m_sizeMenu
                                                               : nullptr;
        if (dropDown == nullptr) {
            m_toolBar->addAction(a);
            continue;
        }
        auto* tool = new QToolButton(m_toolBar);
        tool->setDefaultAction(a);
        tool->setMenu(dropDown);
        tool->setPopupMode(QToolButton::MenuButtonPopup);
        tool->setAutoRaise(true);
        m_toolBar->addWidget(tool);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    m_commands->trackToolBar(m_toolBar);

    m_pluginSetBar = new QToolBar(QStringLiteral("プラグインセット バー"), this);
    m_pluginSetBar->setObjectName(QStringLiteral("pluginSetBar"));
    m_pluginSetBar->setMovable(!m_frameSettings.flatBar);
    m_pluginSetBar->addWidget(new QLabel(QStringLiteral(" プラグインセット "), m_pluginSetBar));
    m_pluginSetList = new QComboBox(m_pluginSetBar);
    m_pluginSetList->setObjectName(QStringLiteral("pluginSetList"));
    m_pluginSetList->setMinimumContentsLength(16);
    m_pluginSetList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_pluginSetList, &QComboBox::activated, this,
            [this] { runCommand(kCmdPluginSetList); });
    m_pluginSetBar->addWidget(m_pluginSetList);
    // Flat bars share one row, as the two bands of a rebar did.
    addToolBar(Qt::TopToolBarArea, m_pluginSetBar);
    reloadPluginSets();
}

void CMainFrame::createPanes() {
    m_columns = new QSplitter(Qt::Horizontal, this);
    m_columns->setObjectName(QStringLiteral("columns"));
    m_tree = new CFolderTreePane(m_document, m_columns);
    m_rows = new QSplitter(Qt::Vertical, m_columns);
    m_rows->setObjectName(QStringLiteral("rows"));
    m_details = new CEntryListPane(m_document, CEntryListPane::Style::Names, m_rows);
    m_grid = new CEntryListPane(m_document, CEntryListPane::Style::Icons, m_rows);
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

QAction* CMainFrame::action(int id) const {
    return m_commands->find(id);
}

void CMainFrame::updateCommandStates() {
    m_commands->updateAll();
}

bool CMainFrame::runCommand(int id) {
    const bool ran = m_router.route(id);
    if (!m_closing) {
        updateCommandStates();
    }
    return ran;
}

// --- drop-down menus

void CMainFrame::fillSizeMenu() {
    m_sizeMenu->clear();
    for (const thumb_size_menu::Item& item : thumb_size_menu::build(m_settings)) {
        if (item.id == 0) {
            m_sizeMenu->addSeparator();
        } else {
            m_sizeMenu->addAction(qtext(item.text))->setData(item.id);
        }
    }
}

void CMainFrame::fillHistoryMenu(bool forward) {
    QMenu* menu = forward ? m_forwardMenu : m_backMenu;
    menu->clear();
    const auto& history = m_document.history();
    const int current = m_document.historyPosition();
    if (forward) {
        for (int p = current + 1, i = 0;
             p < static_cast<int>(history.size()) && kCmdHistoryForwardFirst + i <= kCmdHistoryLast;
             ++p, ++i) {
            menu->addAction(qtext(history[static_cast<std::size_t>(p)]))
                ->setData(kCmdHistoryForwardFirst + i);
        }
    } else {
        for (int p = current - 1, i = 0; p >= 0 && kCmdHistoryFirst + i < kCmdHistoryForwardFirst;
             --p, ++i) {
            menu->addAction(qtext(history[static_cast<std::size_t>(p)]))
                ->setData(kCmdHistoryFirst + i);
        }
    }
}

// --- the frame's commands

std::optional<CommandState> CMainFrame::commandState(int id) const {
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

bool CMainFrame::onCommand(int id) {
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
    default:
        return onRangeCommand(id);
    }
}

void CMainFrame::focusPane(int step) {
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

bool CMainFrame::onRangeCommand(int id) {
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

// --- plug-in sets

void CMainFrame::reloadPluginSets() {
    m_pluginSetList->clear();
    if (m_registry == nullptr) {
        m_pluginSetList->setEnabled(false);
        return;
    }
    // The unnamed set is the default one; the named ones are those of the
    // plug-in settings dialog's list and those saved in the settings.
    std::vector<std::string> names{std::string()};
    auto add = [&names](std::string_view name) {
        std::string text(name);
        if (text == "_Default") {
            text.clear();
        }
        if (std::find(names.begin(), names.end(), text) == names.end()) {
            names.push_back(std::move(text));
        }
    };
    for (std::string_view name : splitFields(m_settings.getText("SPI", "SPISetList", ""))) {
        add(name);
    }
    for (const std::string& name : m_registry->setNames()) {
        add(name);
    }
    add(m_registry->currentSet());
    for (const std::string& name : names) {
        m_pluginSetList->addItem(QString::fromStdString(name));
    }
    m_pluginSetList->setCurrentIndex(
        m_pluginSetList->findText(QString::fromStdString(m_registry->currentSet())));
}

void CMainFrame::onPluginSetChosen() {
    if (m_registry == nullptr) {
        return;
    }
    const std::string chosen = m_pluginSetList->currentText().toStdString();
    if (chosen == m_registry->currentSet()) {
        return;
    }
    m_registry->loadSet(chosen);
    m_registry->applyDynamicLoading();
    m_document.updateAllViews(nullptr, hint::kRedrawAll);
}

// --- document hints and window messages

void CMainFrame::onUpdate(DocumentView*, int hintNumber, const HintData&) {
    switch (hintNumber) {
    case hint::kScanFinished:
        m_interruption.reset(); // hands back the input it kept
        showStatusSummary();
        updateCommandStates();
        break;
    case hint::kRedrawAll:
    case hint::kSelectionChanged:
    case hint::kAllSelection:
    case hint::kEntryRemoved:
        showStatusSummary();
        updateCommandStates();
        break;
    case hint::kListEmptied:
        // A scan begins: input that stops it is watched for until it ends.
        m_interruption = std::make_unique<ScanInterruption>();
        updateCommandStates();
        break;
    default:
        break;
    }
}

void CMainFrame::showStatusSummary() {
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

std::intptr_t CMainFrame::onWindowMessage(int message, std::intptr_t first, std::intptr_t second) {
    switch (message) {
    case msg::kStatusText: {
        const char* text = reinterpret_cast<const char*>(second);
        m_statusBar->setPaneText(static_cast<int>(first), text != nullptr ? text : "");
        return 0;
    }
    case msg::kStatusProgress:
        m_statusBar->setPaneProgress(static_cast<int>(first), static_cast<int>(second));
        return 0;
    case msg::kIdle:
        // The thumbnail worker takes its share of idle time here once the
        // grid exists; until then no more idle time is wanted.
        return 0;
    case msg::kFolderChanged:
        // The shown folder changed on disk: read it again.
        if (!m_document.isScanning() && !m_document.currentFolder().empty()) {
            m_document.refreshIfCurrent(m_document.currentFolder());
        }
        return 0;
    default:
        return 0;
    }
}

bool CMainFrame::event(QEvent* e) {
    return deliverWindowMessage(e, *this) || QMainWindow::event(e);
}

// --- placement and closing

WindowPlacement CMainFrame::placement() const {
    WindowPlacement p;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    p.normalPosition = {normal.left(), normal.top(), normal.left() + normal.width(),
                        normal.top() + normal.height()};
    p.showCmd = isMaximized()   ? WindowPlacement::kShowMaximized
                : isMinimized() ? WindowPlacement::kShowMinimized
                                : WindowPlacement::kShowNormal;
    return p;
}

void CMainFrame::applyPlacement(const WindowPlacement& p) {
    const IntRect& r = p.normalPosition;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width > 0 && height > 0) {
        QRect wanted(r.left, r.top, std::clamp(width, 200, 20000), std::clamp(height, 150, 20000));
        // A window left on a screen that is gone comes back on the primary
        // screen rather than out of reach.
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens()) {
            onScreen = onScreen || screen->availableGeometry().contains(wanted.center());
        }
        if (!onScreen && QGuiApplication::primaryScreen() != nullptr) {
            wanted.moveTopLeft(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        }
        setGeometry(wanted);
    }
    // A window is never brought back minimised: the user could not find it.
    if (p.showCmd == WindowPlacement::kShowMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    }
}

void CMainFrame::saveState() {
    SettingsStore::Batch batch(m_settings);
    placement().save(m_settings);
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    m_frameSettings.window = {normal.x(), normal.y(), normal.width(), normal.height()};
    m_frameSettings.toolBar = m_toolBar->isVisibleTo(this);
    m_frameSettings.pluginSetBar = m_pluginSetBar->isVisibleTo(this);
    m_frameSettings.statusBar = m_statusBar->isVisibleTo(this);
    const QList<int> columns = m_columns->sizes();
    const QList<int> rows = m_rows->sizes();
    if (columns.size() == 2 && columns[0] > 0) {
        m_frameSettings.treePane = {columns[0], m_tree->height()};
    }
    if (rows.size() == 2 && rows[0] > 0) {
        m_frameSettings.listPane = {m_details->width(), rows[0]};
    }
    m_frameSettings.save(m_settings);
    m_tree->saveState(m_settings);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // The views stop painting before anything is torn down.
    m_document.updateAllViews(nullptr, hint::kStopPainting);
    m_closing = true;
    saveState();
    e->accept();
    emit closed();
}

} // namespace vemra
