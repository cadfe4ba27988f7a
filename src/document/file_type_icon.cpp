#include "document/file_type_icon.h"

#include "document/picture_source.h"

#include <QAbstractFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>

namespace vemra {
namespace {

constexpr int kIconSide = 32;

// A sheet with a folded corner, outlined.
QImage plainSheet() {
    QImage image(kIconSide, kIconSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QPolygon sheet({{6, 2}, {20, 2}, {26, 8}, {26, 29}, {6, 29}});
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.setBrush(Qt::white);
    painter.drawPolygon(sheet);
    painter.drawPolyline(QPolygon({{20, 2}, {20, 8}, {26, 8}}));
    return image;
}

} // namespace

QImage fileTypeIcon(const PictureSource& entry) {
    const QAbstractFileIconProvider provider;
    QIcon icon;
    if (!entry.isArchiveMember())
        icon = provider.icon(QFileInfo(QString::fromStdString(entry.fullPath())));
    if (icon.isNull())
        icon = provider.icon(QAbstractFileIconProvider::File);
    if (!icon.isNull()) {
        const QImage image = icon.pixmap(kIconSide, kIconSide).toImage();
        if (!image.isNull())
            return image.scaled(kIconSide, kIconSide);
    }
    return plainSheet();
}

} // namespace vemra
