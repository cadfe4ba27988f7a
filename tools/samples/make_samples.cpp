// Writes the small picture folder that `make run` opens, with the project's
// own encoders, so that samples/ never holds anything downloaded:
//   make-samples OUTPUT-FOLDER

#include "imaging/bmp_file.h"
#include "imaging/drawing_surface.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <string>

using namespace vemra;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A sky fading from deep blue to orange over a dark sea, with a sun.
QImage sunset() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        const double t = static_cast<double>(y) / (kHeight - 1);
        const QRgb sky = qRgb(static_cast<int>(40 + 215 * t), static_cast<int>(40 + 110 * t),
                              static_cast<int>(120 - 80 * t));
        for (int x = 0; x < kWidth; ++x) {
            image.setPixel(x, y, y < 80 ? sky : qRgb(20, 30 + (x * 7 + y * 3) % 20, 60));
        }
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 220, 120));
    p.drawEllipse(QPointF(110, 78), 18, 18);
    p.fillRect(0, 80, kWidth, 40, QColor(20, 30, 60, 200));
    return image;
}

// A colour wheel: every hue and lightness, for the palette pictures.
QImage colourWheel() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - kWidth / 2.0;
            const double dy = y - kHeight / 2.0;
            const double r = std::sqrt(dx * dx + dy * dy) / (kHeight / 2.0);
            const int hue = static_cast<int>((std::atan2(dy, dx) + M_PI) / (2 * M_PI) * 359);
            const int value = r > 1 ? 40 : 255;
            image.setPixel(
                x, y, QColor::fromHsv(hue, static_cast<int>(std::min(r, 1.0) * 255), value).rgb());
        }
    }
    return image;
}

// Flat shapes in a few colours: long runs, good for run-length encoding.
QImage shapes(int colours) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 230));
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    const QColor palette[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::darkYellow, Qt::black};
    for (int i = 0; i < 5 && i < colours; ++i) {
        p.setBrush(palette[i]);
        p.drawRect(10 + i * 28, 15 + i * 12, 40, 40);
    }
    p.setBrush(Qt::white);
    p.drawEllipse(QPoint(80, 90), 30, 18);
    return image;
}

QImage lineArt() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    for (int r = 8; r < 80; r += 10) {
        p.drawEllipse(QPoint(kWidth / 2, kHeight / 2), r, r * 3 / 4);
    }
    return image;
}

int failures = 0;

void save(const std::string& folder, const char* name, const PictureBuffer& picture) {
    const std::string path = folder + "/" + name;
    if (!picture || !writeBmpFile(path, picture)) {
        std::fprintf(stderr, "make-samples: cannot write %s\n", path.c_str());
        ++failures;
        return;
    }
    std::printf("%s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-samples OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];

    save(out, "夕焼け.bmp", pictureFromImage(sunset().convertToFormat(QImage::Format_BGR888)));
    save(out, "colour-wheel-8bit.bmp",
         pictureFromImage(colourWheel().convertToFormat(QImage::Format_Indexed8)));
    save(out, "shapes-8bit-rle.bmp",
         pictureFromImage(shapes(5).convertToFormat(QImage::Format_Indexed8), Compression::Rle8));
    save(out, "colour-wheel-16bit-565.bmp",
         pictureFromImage(colourWheel().convertToFormat(QImage::Format_RGB16),
                          Compression::BitFields));
    save(out, "sunset-32bit.bmp", pictureFromImage(sunset()));
    save(out, "line-art-1bit.bmp",
         pictureFromImage(lineArt().convertToFormat(QImage::Format_Mono)));

    // 4 bits: Qt has no 4-bit format, so draw on a 16-colour surface.
    DrawingSurface surface;
    const QList<QRgb> sixteen = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    if (surface.create(kWidth, kHeight, 4, QColor(255, 255, 255), sixteen)) {
        QPainter& p = surface.painter();
        p.setPen(Qt::NoPen);
        for (int i = 1; i < 16; ++i) {
            p.setBrush(QColor(sixteen[i]));
            p.drawRect((i % 5) * 32, (i / 5) * 40, 30, 38);
        }
        save(out, "sixteen-colours-4bit.bmp", surface.capture());
        save(out, "sixteen-colours-4bit-rle.bmp", compressRle(surface.capture()));
    } else {
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
