#include "views/thumbnail_grid.h"

#include "document/cell_painter.h"
#include "document/folder_document.h"
#include "imaging/qcolor_value.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>

namespace vemra {
namespace {

constexpr int kIconSide = 32;

} // namespace

void ThumbnailGrid::setOptions(const GridOptions& options) {
    m_options = options;
    reloadAppearance();
    viewport()->update();
}

void ThumbnailGrid::reloadAppearance() {
    m_look = CellLook::fromOptions(m_document.options());
    // A stored colour wins; otherwise the grid follows the desktop theme.
    m_outside = m_options.colBackground ? toQColor(*m_options.colBackground)
                                        : palette().color(QPalette::Button);
}

CellGeometry ThumbnailGrid::geometry() const {
    const QSize cell = cellSize();
    return m_look.geometry(cell.width(), cell.height());
}

const QPixmap& ThumbnailGrid::iconFor(const PictureSource& entry) {
    // The icon depends on the type only; asking per file costs too much in
    // large folders.
    const QString name = QString::fromStdString(entry.fileName);
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = m_icons.find(suffix);
    if (found != m_icons.end())
        return *found;
    static const QFileIconProvider provider;
    QIcon icon;
    if (!entry.isArchiveMember())
        icon = provider.icon(QFileInfo(QString::fromStdString(entry.fullPath())));
    if (icon.isNull())
        icon = provider.icon(QFileIconProvider::File);
    return *m_icons.insert(suffix, icon.pixmap(kIconSide, kIconSide));
}

bool ThumbnailGrid::drawCell(QPainter& painter, const PictureSource& entry, const QRect& cell) {
    return paintCell(painter, entry, cell, m_look, &iconFor(entry));
}

void ThumbnailGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_outside);
    // During a scan only the entries SyncFind lets through are laid out.
    if (m_layout.count == 0 || (m_document.isScanning() && m_found == 0))
        return;
    const int first = m_layout.firstVisible(m_top);
    for (int position = first; position < m_layout.count; ++position) {
        const QRect cell = cellRectInView(position);
        if (cell.top() >= viewport()->height())
            break;
        if (!cell.intersects(event->rect()))
            continue;
        // Only what is in memory (a thumbnail of another cell size is shown
        // scaled until the idle work replaces it): looking up and making
        // thumbnails is idle work.
        PictureSource* entry = m_document.entryAt(position);
        if (entry == nullptr)
            continue;
        const QRect grid = m_layout.cellRect(position);
        entry->cellX = grid.x();
        entry->cellY = grid.y();
        drawCell(painter, *entry, cell);
        if (entry->thumbnail)
            m_document.noteThumbnailDrawn(position);
    }
}

} // namespace vemra
