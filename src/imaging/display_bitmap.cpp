#include "imaging/display_bitmap.h"

#include "imaging/bmp_file.h"
#include "imaging/picture_qimage.h"
#include "platform/byte_source.h"

#include <QFile>
#include <QPainter>

namespace vemra {

bool DisplayBitmap::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return loadBytes(file.readAll());
}

bool DisplayBitmap::loadResource(const QString& name) {
    return loadFile(QStringLiteral(":/") + name);
}

bool DisplayBitmap::loadBytes(const QByteArray& bytes) {
    const MemorySource source(
        std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    ReadResult read = readBmp(source);
    if (!read) {
        return false;
    }
    QImage image = pictureToImage(read.picture);
    if (image.isNull()) {
        return false;
    }
    QList<QRgb> palette;
    for (int i = 0; i < read.picture.colourEntries() && i < 256; ++i) {
        const ColourWord c = read.picture.paletteColour(i);
        palette.append(qRgb(redOf(c), greenOf(c), blueOf(c)));
    }
    m_image = std::move(image);
    m_palette = std::move(palette);
    return true;
}

void DisplayBitmap::draw(QPainter& painter, const QRect& target, const QRect& source) const {
    if (m_image.isNull()) {
        return;
    }
    const QRect src = source.isNull() ? m_image.rect() : source;
    if (src.size() == target.size()) {
        painter.drawImage(target.topLeft(), m_image, src);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, m_image, src);
    painter.restore();
}

} // namespace vemra
