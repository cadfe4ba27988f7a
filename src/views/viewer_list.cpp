#include "views/viewer_list.h"

#include "views/picture_view.h"
#include "views/viewer_options.h"
#include "views/viewer_window.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace vemra {
namespace {

// The first size of a new viewer; mode 1 then fits it to the picture.
constexpr QSize kFirstSize(640, 480);

} // namespace

ViewerList::ViewerList(FolderDocument& document, QWidget* home)
    : m_document(document), m_home(home) {}

ViewerList::~ViewerList() {
    // The grid goes: so do the windows it opened.
    std::vector<QPointer<ViewerWindow>> windows;
    windows.swap(m_windows);
    for (const QPointer<ViewerWindow>& window : windows) {
        if (window) {
            window->detachFromList();
            delete window.data();
        }
    }
}

void ViewerList::prune() {
    std::erase_if(m_windows, [](const QPointer<ViewerWindow>& w) { return w.isNull(); });
}

int ViewerList::count() const {
    return static_cast<int>(std::count_if(m_windows.begin(), m_windows.end(),
                                          [](const auto& w) { return !w.isNull(); }));
}

ViewerWindow* ViewerList::at(int index) const {
    int seen = 0;
    for (const QPointer<ViewerWindow>& w : m_windows) {
        if (w && seen++ == index)
            return w;
    }
    return nullptr;
}

ViewerWindow* ViewerList::open(int position, bool newWindow) {
    prune();
    const bool multiple = m_store != nullptr && ViewerFrameOptions::load(*m_store).multiPicView;
    ViewerWindow* window = nullptr;
    if (newWindow || multiple || m_windows.empty()) {
        // Top-level and deleted when closed; the list only watches it.
        window = new ViewerWindow(m_document, m_store, this);
        if (window->size().width() < 200)
            window->resize(kFirstSize);
        m_windows.emplace_back(window);
    } else {
        window = m_windows.front();
    }
    // Shown first, so that mode 1 fits the window with its bars laid out.
    window->show();
    window->view()->showEntry(position);
    window->raise();
    window->activateWindow();
    window->view()->setFocus(Qt::OtherFocusReason);
    return window;
}

void ViewerList::forget(ViewerWindow* window) {
    std::erase_if(m_windows,
                  [window](const QPointer<ViewerWindow>& w) { return w.isNull() || w == window; });
}

void ViewerList::closeAll() {
    std::vector<QPointer<ViewerWindow>> windows = m_windows;
    for (const QPointer<ViewerWindow>& window : windows) {
        if (window)
            window->close();
    }
    prune();
}

void ViewerList::folderChanging() {
    prune();
    const bool stay = m_store != nullptr && ViewerFrameOptions::load(*m_store).stay;
    if (!stay) {
        closeAll();
        return;
    }
    for (const QPointer<ViewerWindow>& window : m_windows)
        window->view()->clearPicture();
}

void ViewerList::follow(int position) {
    prune();
    if (!m_windows.empty() && m_windows.front()->view()->position() != position)
        m_windows.front()->view()->showEntry(position);
}

void ViewerList::focusNext(ViewerWindow* from, int step) {
    prune();
    const int n = static_cast<int>(m_windows.size());
    if (n == 0)
        return;
    const auto at = std::find(m_windows.begin(), m_windows.end(), from);
    const int index = at == m_windows.end() ? 0 : static_cast<int>(at - m_windows.begin());
    ViewerWindow* next = m_windows[static_cast<std::size_t>(((index + step) % n + n) % n)];
    next->show();
    next->raise();
    next->activateWindow();
}

void ViewerList::tile() {
    prune();
    const int n = static_cast<int>(m_windows.size());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (n == 0 || screen == nullptr)
        return;
    const int rows = std::max(1, static_cast<int>(std::floor(std::sqrt(double(n)))));
    const int columns = (n + rows - 1) / rows;
    const QRect area = screen->availableGeometry();
    const QSize decoration =
        m_windows.front()->frameGeometry().size() - m_windows.front()->geometry().size();
    const int width = (area.width() - decoration.width()) / columns;
    const int height = (area.height() - decoration.height()) / rows;
    for (int i = 0; i < n; ++i) {
        ViewerWindow* window = m_windows[static_cast<std::size_t>(i)];
        if (window->isMaximized())
            window->showNormal();
        const QPoint corner(area.x() + (i % columns) * width, area.y() + (i / columns) * height);
        window->move(corner);
        window->resize(std::max(100, width - decoration.width()),
                       std::max(80, height - decoration.height()));
    }
}

void ViewerList::backToMain() {
    if (m_home) {
        QWidget* home = m_home->window();
        home->show();
        home->raise();
        home->activateWindow();
    }
}

bool ViewerList::idleStep(const std::function<bool()>& shouldStop) {
    return PictureLookAhead::idleStepAll(shouldStop);
}

} // namespace vemra
