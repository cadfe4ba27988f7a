#include "views/main_window.h"

#include "document/folder_document.h"
#include "framework/folder_monitor.h"
#include "settings/settings_store.h"
#include "views/details_list.h"
#include "views/folder_tree.h"
#include "views/main_status_bar.h"
#include "views/thumbnail_grid.h"
#include "views/viewer_list.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>

#include <algorithm>

namespace vemra {

// --- placement and closing

WindowPlacement MainWindow::placement() const {
    WindowPlacement p;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    p.normalPosition = {normal.left(), normal.top(), normal.left() + normal.width(),
                        normal.top() + normal.height()};
    p.showCmd = isMaximized()   ? WindowPlacement::kShowMaximized
                : isMinimized() ? WindowPlacement::kShowMinimized
                                : WindowPlacement::kShowNormal;
    return p;
}

void MainWindow::applyPlacement(const WindowPlacement& p) {
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

void MainWindow::saveState() {
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
    m_grid->options().save(m_settings);
    m_details->saveSettings();
    m_tree->saveState(m_settings);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // The views stop painting before anything is torn down.
    m_document.updateAllViews(nullptr, hint::StopPainting{});
    // The viewer windows close with the program (and write their options).
    m_grid->viewers().closeAll();
    m_closing = true;
    saveState();
    m_monitor->stop();
    e->accept();
    emit closed();
}

} // namespace vemra
