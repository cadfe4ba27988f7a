#include "views/viewer_window.h"

#include "document/folder_document.h"
#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/command_table.h"
#include "framework/idle_driver.h"
#include "settings/settings_store.h"
#include "views/picture_view.h"
#include "views/viewer_list.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

namespace vemra {
namespace {

// The tool bar: stepping, zoom, turning and the full-screen window.
struct ToolButton {
    int id;
    QStyle::StandardPixmap icon;
};
constexpr ToolButton kToolButtons[] = {
    {kCmdFirstPicture, QStyle::SP_MediaSkipBackward},
    {kCmdPreviousPicture, QStyle::SP_MediaSeekBackward},
    {kCmdNextPicture, QStyle::SP_MediaSeekForward},
    {kCmdLastPicture, QStyle::SP_MediaSkipForward},
    {kCmdNone, QStyle::SP_CustomBase},
    {kCmdZoomIn, QStyle::SP_CustomBase},
    {kCmdZoomOut, QStyle::SP_CustomBase},
    {kCmdRotateRight, QStyle::SP_BrowserReload},
    {kCmdNone, QStyle::SP_CustomBase},
    {kCmdSequentialDrawing, QStyle::SP_MediaPlay},
    {kCmdViewerFullScreen, QStyle::SP_TitleBarMaxButton},
};

// The smallest client area a picture window gets in mode 1.
constexpr QSize kSmallestClient(320, 240);

} // namespace

ViewerWindow::ViewerWindow(FolderDocument& document, SettingsStore* store, ViewerList* list)
    : m_document(document), m_store(store), m_list(list),
      m_frame(store != nullptr ? ViewerFrameOptions::load(*store) : ViewerFrameOptions{}) {
    setObjectName(QStringLiteral("viewerWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new PictureView(document, store, this);
    setCentralWidget(m_view);
    m_router.setTarget(CommandRouter::Level::ActiveView, m_view);
    m_router.setTarget(CommandRouter::Level::Document, &m_document);
    m_router.setTarget(CommandRouter::Level::Frame, this);

    m_commands = new CommandActions(m_router, CommandScope::Viewer, this);
    m_commands->createAll();
    m_commands->buildMenuBar(menuBar(), viewerMenuLayout());

    m_toolBar = addToolBar(QStringLiteral("ツール バー"));
    m_toolBar->setObjectName(QStringLiteral("viewerToolBar"));
    for (const ToolButton& button : kToolButtons) {
        if (button.id == kCmdNone) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = m_commands->action(button.id);
        if (button.icon != QStyle::SP_CustomBase && action->icon().isNull())
            action->setIcon(style()->standardIcon(button.icon));
        m_toolBar->addAction(action);
    }
    m_commands->trackToolBar(m_toolBar);
    if (IdleDriver* idle = IdleDriver::current())
        m_commands->connectIdle(*idle);
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        m_panes[i] = new QLabel(this);
        m_panes[i]->setObjectName(QStringLiteral("viewerPane%1").arg(i));
        statusBar()->addWidget(m_panes[i], i == 2 ? 1 : 0);
    }
    m_toolBar->setVisible(m_frame.toolBar);
    statusBar()->setVisible(m_frame.statusBar);
    setTopMost(m_frame.topMost);
    applyStoredPlacement();

    m_view->setCommandRoute([this](int id) { return runCommand(id); });
    connect(m_view, &PictureView::pictureChanged, this, &ViewerWindow::refreshTexts);
    connect(m_view, &PictureView::fitRequested, this, &ViewerWindow::fitToPicture);
    refreshTexts();
}

ViewerWindow::~ViewerWindow() {
    m_router.setTarget(CommandRouter::Level::ActiveView, nullptr);
    if (m_list != nullptr)
        m_list->forget(this);
}

void ViewerWindow::applyStoredPlacement() {
    if (!m_frame.placement)
        return;
    const IntRect& r = m_frame.placement->normalPosition;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return;
    QRect wanted(r.left, r.top, std::clamp(width, 100, 20000), std::clamp(height, 80, 20000));
    if (const QScreen* screen = QGuiApplication::primaryScreen();
        screen != nullptr && !screen->availableGeometry().contains(wanted.center()))
        wanted.moveTopLeft(screen->availableGeometry().topLeft());
    setGeometry(wanted);
}

void ViewerWindow::setTopMost(bool on) {
    m_frame.topMost = on;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

std::array<QString, 3> ViewerWindow::statusTexts() const {
    return {m_panes[0]->text(), m_panes[1]->text(), m_panes[2]->text()};
}

void ViewerWindow::refreshTexts() {
    const std::array<QString, 3> texts = m_view->statusTexts();
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        m_panes[i]->setText(texts[i]);
    setWindowTitle(m_view->titleText(m_frame.titleFormat));
    m_commands->updateToolBars();
}

// Mode 1: the client area takes the picture's display size, not below the
// window's smallest size and not beyond the screen.
void ViewerWindow::fitToPicture(QSize display) {
    if (isMaximized() || isFullScreen())
        return;
    if (layout() != nullptr)
        layout()->activate();
    const QSize chrome = size() - m_view->size();
    QSize wanted = display.expandedTo(kSmallestClient) + chrome;
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QSize decoration = frameGeometry().size() - geometry().size();
        wanted = wanted.boundedTo(screen->availableGeometry().size() - decoration);
    }
    if (wanted != size())
        resize(wanted);
}

bool ViewerWindow::runCommand(int id) {
    return m_router.route(id);
}

std::optional<CommandState> ViewerWindow::commandState(int id) const {
    const int others = m_list != nullptr ? m_list->count() : 1;
    switch (id) {
    case kCmdCloseViewer:
        return CommandState{};
    case kCmdCloseAllViewers:
    case kCmdBackToMain:
        return CommandState{m_list != nullptr, false};
    case kCmdNextViewer:
    case kCmdPreviousViewer:
    case kCmdTileViewers:
        return CommandState{m_list != nullptr && others >= 1, false};
    case kCmdAlwaysOnTop:
        return CommandState{true, m_frame.topMost};
    default:
        return std::nullopt;
    }
}

bool ViewerWindow::onCommand(int id) {
    switch (id) {
    case kCmdCloseViewer:
        close();
        return true;
    case kCmdCloseAllViewers:
        if (m_list != nullptr)
            m_list->closeAll();
        return true;
    case kCmdNextViewer:
    case kCmdPreviousViewer:
        if (m_list != nullptr)
            m_list->focusNext(this, id == kCmdNextViewer ? 1 : -1);
        return true;
    case kCmdTileViewers:
        if (m_list != nullptr)
            m_list->tile();
        return true;
    case kCmdBackToMain:
        if (m_list != nullptr)
            m_list->backToMain();
        return true;
    case kCmdAlwaysOnTop:
        setTopMost(!m_frame.topMost);
        return true;
    default:
        return false;
    }
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    if (m_store != nullptr) {
        WindowPlacement placement;
        const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
        placement.normalPosition = {normal.left(), normal.top(), normal.right() + 1,
                                    normal.bottom() + 1};
        placement.showCmd =
            isMaximized() ? WindowPlacement::kShowMaximized : WindowPlacement::kShowNormal;
        m_frame.placement = placement;
        m_frame.toolBar = m_toolBar->isVisibleTo(this);
        m_frame.statusBar = statusBar()->isVisibleTo(this);
        m_frame.save(*m_store);
    }
    m_view->saveOptionsAndDetach();
    m_store = nullptr;
    if (m_list != nullptr)
        m_list->forget(this);
    m_list = nullptr;
    event->accept();
}

} // namespace vemra
