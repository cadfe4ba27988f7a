#include "imaging/picture_qimage.h"

#include "imaging/picture_convert.h"
#include "platform/endian.h"

#include <cstring>

namespace vemra {
namespace {

// Copies the rows of `image` (already in a format whose bytes match the
// picture's layout) bottom-up into `picture`.
void copyRowsBottomUp(const QImage& image, PictureBuffer& picture, std::size_t bytesPerRow) {
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        std::memcpy(picture.row(y).data(), image.constScanLine(y), bytesPerRow);
    }
}

QList<QRgb> tableFor(const QImage& image, std::span<const QRgb> palette) {
    QList<QRgb> table = image.colorTable();
    if (table.isEmpty()) {
        table = QList<QRgb>(palette.begin(), palette.end());
    }
    if (table.isEmpty() && image.format() == QImage::Format_Grayscale8) {
        for (int i = 0; i < 256; ++i) {
            table.append(qRgb(i, i, i));
        }
    }
    return table;
}

PictureBuffer indexedFromImage(const QImage& source, int bits, std::span<const QRgb> palette) {
    QImage image = source;
    if (bits == 1 && image.format() != QImage::Format_Mono) {
        image = image.convertToFormat(QImage::Format_Mono);
    } else if (bits == 8 && image.format() != QImage::Format_Indexed8 &&
               image.format() != QImage::Format_Grayscale8) {
        image = image.convertToFormat(QImage::Format_Indexed8);
    }
    if (image.isNull()) {
        return {};
    }
    const QList<QRgb> table = tableFor(image, palette);
    PictureBuffer picture = PictureBuffer::create(image.width(), image.height(), bits);
    if (!picture) {
        return {};
    }
    for (int i = 0; i < picture.colourEntries() && i < table.size(); ++i) {
        const QRgb c = table[i];
        picture.setPaletteColour(i, colourWord(qRed(c), qGreen(c), qBlue(c)));
    }
    copyRowsBottomUp(image, picture, (static_cast<std::size_t>(image.width()) * bits + 7) / 8);
    return picture;
}

PictureBuffer directFromImage(const QImage& source, int bits) {
    QImage::Format format = QImage::Format_BGR888;
    if (bits == 16) {
        format = QImage::Format_RGB555;
    } else if (bits == 32) {
        // The fourth byte keeps the alpha when there is one; readers of a
        // 32-bit picture ignore it.
        format = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    }
    const QImage image = source.format() == format ? source : source.convertToFormat(format);
    if (image.isNull()) {
        return {};
    }
    PictureBuffer picture = PictureBuffer::create(image.width(), image.height(), bits);
    if (!picture) {
        return {};
    }
    copyRowsBottomUp(image, picture, static_cast<std::size_t>(image.width()) * (bits / 8));
    return picture;
}

// Rewrites a 16-bit 5-5-5 picture as 5-6-5 bit fields, or marks a 32-bit one
// as 8-8-8 bit fields.
PictureBuffer withBitFields(const QImage& image, int bits) {
    DibHeader h;
    h.width = image.width();
    h.height = image.height();
    h.bitCount = static_cast<std::uint16_t>(bits);
    h.compression = static_cast<std::uint32_t>(Compression::BitFields);
    PictureBuffer picture = PictureBuffer::create(h);
    if (!picture) {
        return {};
    }
    const std::uint32_t masks[3] = {bits == 16 ? 0xF800u : 0xFF0000u,
                                    bits == 16 ? 0x07E0u : 0xFF00u, bits == 16 ? 0x001Fu : 0xFFu};
    std::byte* m = picture.block().data() + kInfoHeaderSize;
    for (int i = 0; i < 3; ++i) {
        storeU32(m + 4 * i, masks[i]);
    }
    const QImage rows =
        image.convertToFormat(bits == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32);
    if (rows.isNull()) {
        return {};
    }
    copyRowsBottomUp(rows, picture, static_cast<std::size_t>(image.width()) * (bits / 8));
    return picture;
}

// Layouts whose bytes Qt reads exactly as a picture's rows. 16-bit pictures
// are left out on purpose: Qt widens 5-bit channels by repeating their top
// bits, while conversion to 24 bits sets the low bits, and one picture must
// look the same whichever way it is drawn.
QImage::Format wrapFormat(const DibLayout& l) {
    if (l.isCore() || l.compression != Compression::None) {
        return QImage::Format_Invalid;
    }
    switch (l.bitCount) {
    case 1:
        return QImage::Format_Mono;
    case 8:
        return QImage::Format_Indexed8;
    case 24:
        return QImage::Format_BGR888;
    default:
        return QImage::Format_Invalid;
    }
}

} // namespace

PictureBuffer pictureFromImage(const QImage& image, std::span<const QRgb> palette) {
    if (image.isNull()) {
        return {};
    }
    const int bits = dibStorageBits(image.depth());
    if (bits <= 8) {
        // No QImage format has 2 to 4 bits, so only 1 and 8 arrive here.
        return indexedFromImage(image, bits, palette);
    }
    return directFromImage(image, bits);
}

PictureBuffer pictureFromImage(const QImage& image, Compression compression) {
    if (image.isNull()) {
        return {};
    }
    const int bits = dibStorageBits(image.depth());
    switch (compression) {
    case Compression::None:
        return pictureFromImage(image);
    case Compression::Rle8:
        return bits == 8 ? compressRle(pictureFromImage(image)) : PictureBuffer{};
    case Compression::Rle4:
        return bits == 4 ? compressRle(pictureFromImage(image)) : PictureBuffer{};
    case Compression::BitFields:
        return bits == 16 || bits == 32 ? withBitFields(image, bits) : PictureBuffer{};
    }
    return {};
}

QImage wrapStoredRows(const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l) {
        return {};
    }
    const QImage::Format format = wrapFormat(*l);
    if (format == QImage::Format_Invalid) {
        return {};
    }
    QImage image(reinterpret_cast<const uchar*>(picture.pixels().data()), l->width, l->height,
                 static_cast<qsizetype>(l->rowBytes), format);
    if (l->bitCount <= 8) {
        QList<QRgb> table(1 << l->bitCount, qRgb(0, 0, 0));
        for (int i = 0; i < l->colourEntries && i < table.size(); ++i) {
            const ColourWord c = picture.paletteColour(i);
            table[i] = qRgb(redOf(c), greenOf(c), blueOf(c));
        }
        image.setColorTable(table);
    }
    return image;
}

QImage pictureToImage(const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l) {
        return {};
    }
    const QImage stored = wrapStoredRows(picture);
    if (!stored.isNull()) {
        // Both copy, so the result owns its pixels.
        return l->topDown ? stored.copy() : stored.mirrored(false, true);
    }
    // Everything else goes through 24 bits.
    const PictureBuffer* source = &picture;
    PictureBuffer converted;
    if (l->compression == Compression::Rle8 || l->compression == Compression::Rle4) {
        converted = picture.duplicate();
        if (!expandRle(converted)) {
            return {};
        }
        source = &converted;
    }
    if (source->bitCount() != 24) {
        PictureBuffer wide = copyAs24Bits(*source);
        if (!wide) {
            return {};
        }
        converted = std::move(wide);
        source = &converted;
    }
    QImage image(l->width, l->height, QImage::Format_BGR888);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < l->height; ++y) {
        std::memcpy(image.scanLine(y), source->row(y).data(),
                    static_cast<std::size_t>(l->width) * 3);
    }
    return image;
}

} // namespace vemra
