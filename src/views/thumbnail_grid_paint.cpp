#include "views/thumbnail_grid.h"

#include "document/caption_font.h"
#include "document/caption_macros.h"
#include "document/cell_geometry.h"
#include "document/folder_document.h"
#include "imaging/picture_qimage.h"
#include "imaging/qcolor_value.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vemra {
namespace {

// The string whose height gives the caption's line height: it reaches from
// the highest accent to the lowest descender.
constexpr const char* kLineHeightProbe = "QEMygj'`~|";
constexpr int kIconSide = 32;

QColor shifted(QColor base, int delta) {
    return QColor(std::clamp(base.red() + delta, 0, 255), std::clamp(base.green() + delta, 0, 255),
                  std::clamp(base.blue() + delta, 0, 255));
}

// A one-pixel bevel: `light` on the left and top, `dark` on the right and
// bottom.
void drawBevel(QPainter& painter, const QRect& r, const QColor& light, const QColor& dark) {
    painter.setPen(light);
    painter.drawLine(r.left(), r.top(), r.right(), r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
    painter.setPen(dark);
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

} // namespace

void ThumbnailGrid::reloadAppearance() {
    const DocumentOptions& options = m_document.options();
    m_font = captionFont(options);
    const QFontMetrics metrics(m_font);
    m_lineHeight =
        std::max(1, metrics.boundingRect(QString::fromLatin1(kLineHeightProbe)).height());
    m_lineHeight = std::max(m_lineHeight, metrics.height());
    m_captionHeight = m_lineHeight * static_cast<int>(options.captionLines.size());
    m_outside = palette().color(QPalette::Button);
}

CellGeometry ThumbnailGrid::geometry() const {
    const QSize cell = cellSize();
    const DocumentOptions& options = m_document.options();
    EntryDrawingOptions drawing;
    drawing.frame = options.frame;
    drawing.name = options.name;
    drawing.nameFrame = options.nameFrame;
    return cellGeometry(cell.width(), cell.height(), drawing, m_captionHeight);
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
    const DocumentOptions& options = m_document.options();
    const EntryAppearance& look = entry.appearance;
    const bool selected = entry.isSelected();
    QRect r = cell;

    painter.fillRect(r, toQColor(selected ? look.colSelectBackGround : look.colBackGround));
    if (entry.isFocused()) {
        painter.setPen(QPen(toQColor(look.colSelectCheck), 2));
        painter.setBrush(Qt::NoBrush);
        // A 2-pixel frame one pixel inside the edge: the pen is centred on
        // the line, so the line runs 2 pixels in.
        painter.drawRect(QRectF(r).adjusted(2, 2, -2, -2));
    }
    if (options.frame) {
        drawBevel(painter, r, QColor(0xff, 0xff, 0xff), QColor(0x80, 0x80, 0x80));
        r.adjust(2, 2, -2, -2);
    }

    const CellGeometry g = geometry();
    QRect caption;
    if (options.name)
        caption =
            QRect(r.left(), r.bottom() + 1 - (m_captionHeight + 4), r.width(), m_captionHeight + 4);
    const QRect area(r.left(), r.top(), r.width(), g.areaHeight);

    bool drawn = false;
    if (entry.thumbnail) {
        const QImage image = pictureToImage(entry.thumbnail);
        if (!image.isNull()) {
            QSize size = image.size();
            if (size.width() > area.width() || size.height() > area.height())
                size.scale(area.size(), Qt::KeepAspectRatio);
            QRect target(QPoint(0, 0), size);
            target.moveCenter(area.center());
            painter.drawImage(target, image);
            drawn = true;
        }
    }
    if (!drawn) {
        const QPixmap& icon = iconFor(entry);
        QRect target(QPoint(0, 0), icon.size() / std::max(1.0, icon.devicePixelRatio()));
        target.moveCenter(area.center());
        painter.drawPixmap(target, icon);
    }

    if (!options.name)
        return drawn;
    QColor text = toQColor(look.colText);
    QColor background = toQColor(drawn ? look.colNormalDraw : look.colCantDraw);
    if (selected) {
        background = toQColor(look.colSelectCheck);
        text = toQColor(look.colSelectText);
    } else if (drawn && entry.isArchiveMember()) {
        background = toQColor(look.colArcDraw);
    }
    painter.fillRect(caption, background);
    if (options.nameFrame) {
        const QColor base = toQColor(look.colBackGround);
        drawBevel(painter, caption, shifted(base, -64), shifted(base, 64));
        caption.adjust(1, 1, -1, -1);
    }
    painter.save();
    painter.setClipRect(caption);
    painter.setFont(m_font);
    painter.setPen(text);
    const QFontMetrics metrics(m_font);
    int bottom = caption.bottom() + 1;
    for (const std::string& format : options.captionLines) {
        const QString line = QString::fromStdString(expandCaption(format, entry));
        const QRect lineRect(caption.left(), bottom - m_lineHeight, caption.width(), m_lineHeight);
        const bool fits = metrics.horizontalAdvance(line) <= caption.width();
        painter.drawText(lineRect, (fits ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignBottom,
                         line);
        bottom -= m_lineHeight;
    }
    painter.restore();
    return drawn;
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
    }
}

} // namespace vemra
