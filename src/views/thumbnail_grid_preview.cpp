#include "views/thumbnail_grid.h"

#include "document/folder_document.h"

#include <QImage>
#include <QPainter>

namespace vemra {

QImage ThumbnailGrid::renderCell(const DocumentOptions& options, const PictureSource& entry,
                                 QSize size) {
    // The cell painter reads the document's options and cell size; they are
    // lent to it for one synchronous drawing on the interface thread and put
    // back before anything else can look at them.
    struct Lend {
        ThumbnailGrid& grid;
        DocumentOptions kept;
        IntPair keptSize;
        ~Lend() {
            grid.m_document.setThumbnailSize(keptSize);
            grid.m_document.options() = std::move(kept);
            grid.reloadAppearance();
        }
    } lend{*this, m_document.options(), m_document.thumbnailSize()};
    m_document.options() = options;
    m_document.setThumbnailSize({size.width(), size.height()});
    reloadAppearance();

    QImage image(size, QImage::Format_RGB32);
    image.fill(m_outside);
    QPainter painter(&image);
    drawCell(painter, entry, QRect(QPoint(0, 0), size));
    return image;
}

} // namespace vemra
