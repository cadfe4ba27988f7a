#include "views/thumbnail_grid.h"

#include "document/folder_document.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/progress_window.h"
#include "framework/wait_cursor.h"
#include "views/progress_window_requests.h"
#include "views/slide_show_window.h"
#include "views/viewer_list.h"

#include <QDir>
#include <QTemporaryDir>

namespace vemra {

int ThumbnailGrid::commandEntry() const {
    return m_pressed >= 0 && m_pressed < m_document.displayedCount() ? m_pressed
                                                                     : m_document.focusedPosition();
}

int ThumbnailGrid::openingCommand(Qt::KeyboardModifiers modifiers) const {
    if (modifiers & Qt::ShiftModifier)
        return kCmdRunAssociated;
    if (modifiers & Qt::ControlModifier)
        return kCmdOpenViewer;
    return m_document.options().idViewer;
}

void ThumbnailGrid::openByKeys(int position, Qt::KeyboardModifiers modifiers) {
    if (position < 0 || position >= m_document.displayedCount())
        return;
    // The commands act on the entry of the last click.
    m_pressed = position;
    sendCommand(openingCommand(modifiers));
}

void ThumbnailGrid::setSettingsStore(SettingsStore* store) {
    m_settings = store;
    m_viewers->setSettingsStore(store);
}

void ThumbnailGrid::openInViewer(int position, bool newWindow) {
    PictureSource* entry = m_document.entryAt(position);
    if (entry == nullptr)
        return;
    // An entry listed without identification learns its decoder when it is
    // first drawn; what no decoder takes is no picture, and goes to the
    // program the desktop associates with it.
    if (entry->decoder == kNoDecoder)
        m_document.prepareThumbnail(position, geometry(), true);
    entry = m_document.entryAt(position);
    if (entry == nullptr)
        return;
    if (entry->decoder == kNoDecoder) {
        runAssociated(position);
        return;
    }
    if (m_viewerOpener)
        m_viewerOpener(position, newWindow);
    else
        m_viewers->open(position, newWindow);
}

void ThumbnailGrid::runFullScreen(int position) {
    if (m_document.entryAt(position) == nullptr)
        return;
    if (m_fullScreenRunner) {
        m_fullScreenRunner(position);
        return;
    }
    m_document.updateAllViews(this, hint::StopPainting{});
    SlideShowWindow::run(m_document, m_settings, position, false, std::nullopt, this);
    restartPainting(false);
}

void ThumbnailGrid::openSelection() {
    const int count = m_document.displayedCount();
    for (int i = 0; i < count; ++i) {
        const PictureSource* entry = m_document.entryAt(i);
        if (entry != nullptr && entry->isSelected())
            openInViewer(i, true);
    }
}

void ThumbnailGrid::openEntry(int position, bool newWindow) {
    openInViewer(position, newWindow);
}

// A plain file opens as it is; an archive member is first extracted into a
// folder of its own (members of two archives may share a name), kept until
// the grid goes, since the program reads it after we return.
void ThumbnailGrid::runAssociated(int position) {
    const PictureSource* entry = m_document.entryAt(position);
    if (entry == nullptr || !m_opener)
        return;
    if (!entry->isArchiveMember()) {
        m_opener(entry->fullPath());
        return;
    }
    if (!m_extracted)
        m_extracted = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/vemra-XXXXXX");
    if (!m_extracted->isValid())
        return;
    const QString folder = m_extracted->filePath(QString::number(++m_extractedCount));
    if (!QDir().mkpath(folder))
        return;
    const std::string path =
        (folder + '/' + QString::fromStdString(memberFileName(entry->fileName))).toStdString();
    {
        const WaitCursor busy;
        if (m_document.extractMember(position, path) != 0)
            return;
    }
    m_opener(path);
}

void ThumbnailGrid::reloadEntry(int position) {
    PictureSource* entry = m_document.entryAt(position);
    if (entry == nullptr)
        return;
    // Forget the thumbnail and what was learnt from the file; the one made
    // now is not in the cache, so the next saving replaces the stale record.
    // It is made ahead of every other thumbnail and shown when it comes.
    m_document.forgetThumbnail(position);
    m_document.beginVisiblePass();
    m_document.requestThumbnail(position, geometry(), true);
    redrawEntry(position);
    m_document.updateAllViews(this, hint::RedrawEntry{position});
}

// --- the progress display lent to long commands

ProgressRequests& ThumbnailGrid::progress() {
    return *m_progress;
}

ProgressWindow* ThumbnailGrid::progressWindow() const {
    return m_progress->window();
}

// --- after a pass, and entries found during a scan

void ThumbnailGrid::passFinished() {
    if (m_afterPass)
        m_afterPass();
    if (m_document.options().syncJump && m_layout.count > 0)
        m_document.updateAllViews(this, hint::FirstVisible{m_layout.firstVisible(m_top)});
}

// With SyncFind, a long scan shows what it found so far: once more than
// SyncFileCount entries are in, the visible part is drawn, and then every
// further entry in its cell as it comes.
void ThumbnailGrid::drawFoundEntry(int position) {
    if (position < 0)
        return;
    m_found = std::max(m_found, position + 1);
    const int threshold = m_options.syncFileCount;
    if (m_found <= threshold)
        return;
    relayout();
    if (!isVisible())
        return;
    if (m_found == threshold + 1)
        viewport()->repaint();
    else if (entryVisible(position))
        viewport()->repaint(cellRectInView(position));
}

} // namespace vemra
