#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

class QPainter;

namespace vemra {

// A bitmap loaded from a .BMP file or from the program's resources, such as
// the splash picture, kept ready for drawing together with its colours.
class DisplayBitmap {
public:
    // Loads a BMP file (any depth and compression the BMP reader takes).
    bool loadFile(const QString& path);
    // Loads the resource ":/<name>" (a BMP file compiled into the program).
    bool loadResource(const QString& name);

    bool isNull() const { return m_image.isNull(); }
    QSize size() const { return m_image.size(); }
    // Up to 256 entries of the file's colour table; empty for deep pictures,
    // which need no palette on true-colour displays.
    const QList<QRgb>& palette() const { return m_palette; }
    const QImage& image() const { return m_image; }

    // Draws the `source` part (the whole bitmap when null) into `target`: a
    // plain copy when both have the same size, otherwise a stretch that drops
    // or repeats pixels.
    void draw(QPainter& painter, const QRect& target, const QRect& source = {}) const;

private:
    bool loadBytes(const QByteArray& bytes);

    QImage m_image;
    QList<QRgb> m_palette;
};

} // namespace vemra
