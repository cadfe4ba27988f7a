#include "document/cell_painter.h"

#include "document/caption_font.h"
#include "document/caption_macros.h"
#include "document/document_options.h"
#include "document/picture_source.h"
#include "imaging/picture_qimage.h"
#include "imaging/qcolor_value.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace vemra {
namespace {

// The string whose height gives the caption's line height: it reaches from
// the highest accent to the lowest descender.
constexpr const char* kLineHeightProbe = "QEMygj'`~|";

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

CellLook CellLook::fromOptions(const DocumentOptions& options) {
    CellLook look;
    look.frame = options.frame;
    look.name = options.name;
    look.nameFrame = options.nameFrame;
    look.captionLines = options.captionLines;
    look.font = captionFont(options);
    const QFontMetrics metrics(look.font);
    look.lineHeight =
        std::max(1, metrics.boundingRect(QString::fromLatin1(kLineHeightProbe)).height());
    look.lineHeight = std::max(look.lineHeight, metrics.height());
    look.captionHeight = look.lineHeight * static_cast<int>(options.captionLines.size());
    return look;
}

CellGeometry CellLook::geometry(int cellWidth, int cellHeight) const {
    EntryDrawingOptions drawing;
    drawing.frame = frame;
    drawing.name = name;
    drawing.nameFrame = nameFrame;
    return cellGeometry(cellWidth, cellHeight, drawing, captionHeight);
}

bool paintCell(QPainter& painter, const PictureSource& entry, const QRect& cell,
               const CellLook& look, const QPixmap* icon) {
    const EntryAppearance& colours = *entry.appearance;
    const bool selected = entry.isSelected();
    QRect r = cell;

    painter.fillRect(r, toQColor(selected ? colours.colSelectBackGround : colours.colBackGround));
    if (entry.isFocused()) {
        painter.setPen(QPen(toQColor(colours.colSelectCheck), 2));
        painter.setBrush(Qt::NoBrush);
        // A 2-pixel frame one pixel inside the edge: the pen is centred on
        // the line, so the line runs 2 pixels in.
        painter.drawRect(QRectF(r).adjusted(2, 2, -2, -2));
    }
    if (look.frame) {
        drawBevel(painter, r, QColor(0xff, 0xff, 0xff), QColor(0x80, 0x80, 0x80));
        r.adjust(2, 2, -2, -2);
    }

    const CellGeometry g = look.geometry(cell.width(), cell.height());
    QRect caption;
    if (look.name)
        caption = QRect(r.left(), r.bottom() + 1 - (look.captionHeight + 4), r.width(),
                        look.captionHeight + 4);
    const QRect area(r.left(), r.top(), r.width(), g.areaHeight);

    bool drawn = false;
    // A camera's own small thumbnail stands in until the real one is made.
    if (const PictureBuffer& shown = entry.thumbnail ? entry.thumbnail : entry.preview; shown) {
        const QImage image = pictureToImage(shown);
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
    if (!drawn && icon != nullptr) {
        QRect target(QPoint(0, 0), icon->size() / std::max(1.0, icon->devicePixelRatio()));
        target.moveCenter(area.center());
        painter.drawPixmap(target, *icon);
    }

    if (!look.name)
        return drawn;
    QColor text = toQColor(colours.colText);
    QColor background = toQColor(drawn ? colours.colNormalDraw : colours.colCantDraw);
    if (selected) {
        background = toQColor(colours.colSelectCheck);
        text = toQColor(colours.colSelectText);
    } else if (drawn && entry.isArchiveMember()) {
        background = toQColor(colours.colArcDraw);
    }
    painter.fillRect(caption, background);
    if (look.nameFrame) {
        const QColor base = toQColor(colours.colBackGround);
        drawBevel(painter, caption, shifted(base, -64), shifted(base, 64));
        caption.adjust(1, 1, -1, -1);
    }
    painter.save();
    painter.setClipRect(caption);
    painter.setFont(look.font);
    painter.setPen(text);
    const QFontMetrics metrics(look.font);
    int bottom = caption.bottom() + 1;
    for (const std::string& format : look.captionLines) {
        const QString line = QString::fromStdString(expandCaption(format, entry));
        const QRect lineRect(caption.left(), bottom - look.lineHeight, caption.width(),
                             look.lineHeight);
        const bool fits = metrics.horizontalAdvance(line) <= caption.width();
        painter.drawText(lineRect, (fits ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignBottom,
                         line);
        bottom -= look.lineHeight;
    }
    painter.restore();
    return drawn;
}

} // namespace vemra
