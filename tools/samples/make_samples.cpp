// Writes the small picture folder that `make run` opens, with the project's
// own encoders, so that samples/ never holds anything downloaded:
//   make-samples OUTPUT-FOLDER

#include "imaging/bmp_file.h"
#include "imaging/drawing_surface.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"
#include "imaging/png_encoder.h"
#include "platform/atomic_file.h"
#include "sample_zip.h"

#include <QImage>

#include <QPainter>
#include <QPainterPath>
#include <webp/encode.h>

#include <gif_lib.h>
#include <iconv.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace vemra;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::int64_t kZipTime = 1767225600; // 2026-01-01 00:00 UTC

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

void report(const std::string& path, bool ok) {
    if (ok) {
        std::printf("%s\n", path.c_str());
    } else {
        std::fprintf(stderr, "make-samples: cannot write %s\n", path.c_str());
        ++failures;
    }
}

// PNG through the program's own writer.
std::vector<std::byte> pngBytes(const PictureBuffer& picture) {
    PngRequest request;
    request.memoryLength = 1 << 20;
    request.picture = &picture;
    request.software = "Vemra make-samples";
    std::vector<std::byte> bytes;
    if (!picture || writePng(request, &bytes) != PngResult::Success)
        bytes.clear();
    return bytes;
}

// JPEG through the program's own encoder.
std::vector<std::byte> jpegBytes(const PictureBuffer& picture, int quality, bool progressive) {
    JpegOptions options;
    options.quality = quality;
    options.progressive = progressive;
    std::vector<std::byte> bytes;
    if (!picture || !encodeJpeg(picture, options, bytes))
        bytes.clear();
    return bytes;
}

std::vector<std::byte> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(first, first + text.size());
}

void saveBytes(const std::string& folder, const char* name, const std::vector<std::byte>& bytes) {
    const std::string path = folder + "/" + name;
    report(path, !bytes.empty() && writeFileAtomically(path, bytes));
}

// An 8-bit palette TIFF, LZW-compressed, through libtiff.
void saveTiff(const std::string& folder, const char* name, const QImage& source) {
    const std::string path = folder + "/" + name;
    const QImage image = source.convertToFormat(QImage::Format_Indexed8);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) {
        report(path, false);
        return;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.height());
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<std::uint16_t> map(3 * 256);
    const QList<QRgb> table = image.colorTable();
    for (int i = 0; i < static_cast<int>(table.size()) && i < 256; ++i) {
        map[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(qRed(table[i]) * 257);
        map[256 + static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(qGreen(table[i]) * 257);
        map[512 + static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(qBlue(table[i]) * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y) {
        ok = TIFFWriteScanline(tif, const_cast<uchar*>(image.constScanLine(y)),
                               static_cast<std::uint32_t>(y), 0) == 1;
    }
    TIFFClose(tif);
    report(path, ok);
}

int appendToFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::ofstream*>(gif->UserData);
    out->write(reinterpret_cast<const char*>(data), length);
    return *out ? length : 0;
}

// A GIF through giflib: one frame is a still picture; more are an endless
// animation with `delay` hundredths of a second per frame.
bool writeGif(const std::string& path, int width, int height, std::vector<GifColorType> colours,
              const std::vector<std::vector<GifPixelType>>& frames, int delay,
              const char* comment) {
    // Colour tables hold a power of two entries.
    std::size_t size = 2;
    while (size < colours.size())
        size *= 2;
    colours.resize(size, GifColorType{0, 0, 0});
    std::ofstream file(path, std::ios::binary);
    int error = 0;
    GifFileType* gif = EGifOpen(&file, appendToFile, &error);
    if (gif == nullptr)
        return false;
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(size), colours.data());
    EGifSetGifVersion(gif, true);
    bool ok =
        EGifPutScreenDesc(gif, width, height, GifBitSize(static_cast<int>(size)), 0, map) == GIF_OK;
    if (frames.size() > 1) {
        const unsigned char loop[] = {1, 0, 0};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    EGifPutComment(gif, comment);
    for (const std::vector<GifPixelType>& pixels : frames) {
        if (!ok)
            break;
        if (frames.size() > 1) {
            GraphicsControlBlock control{};
            control.DelayTime = delay;
            control.TransparentColor = NO_TRANSPARENT_COLOR;
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
        }
        ok = EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
        for (int y = 0; y < height && ok; ++y) {
            ok = EGifPutLine(gif,
                             const_cast<GifPixelType*>(pixels.data()) +
                                 static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                             width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    file.close();
    return ok && file;
}

// A ball bouncing over four frames.
void saveAnimatedGif(const std::string& folder, const char* name) {
    constexpr int kSide = 64;
    std::vector<std::vector<GifPixelType>> frames;
    for (int frame = 0; frame < 4; ++frame) {
        const int cy = 12 + frame * 12;
        std::vector<GifPixelType> pixels(kSide * kSide);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const int dx = x - 32;
                const int dy = y - cy;
                pixels[static_cast<std::size_t>(y * kSide + x)] = dx * dx + dy * dy < 100
                                                                      ? (frame % 2 == 0 ? 1 : 2)
                                                                  : y > 58 ? 3
                                                                           : 0;
            }
        }
        frames.push_back(std::move(pixels));
    }
    const std::string path = folder + "/" + name;
    report(path, writeGif(path, kSide, kSide,
                          {{250, 250, 240}, {220, 40, 40}, {40, 40, 200}, {30, 30, 30}}, frames, 25,
                          "Vemra sample animation"));
}

// A still GIF of a picture with few colours.
void saveStillGif(const std::string& folder, const char* name, const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8);
    std::vector<GifColorType> colours;
    for (const QRgb c : image.colorTable()) {
        colours.push_back({static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                           static_cast<GifByteType>(qBlue(c))});
    }
    std::vector<GifPixelType> pixels;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        pixels.insert(pixels.end(), row, row + image.width());
    }
    const std::string path = folder + "/" + name;
    report(path, writeGif(path, image.width(), image.height(), std::move(colours), {pixels}, 0,
                          "Vemra sample"));
}

// A note in Shift-JIS with Windows line ends, as older tools wrote them.
void saveShiftJisText(const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    const std::string utf8 = "サンプルのメモ\r\n\r\n"
                             "このフォルダには Vemra の見本の画像が入っています。\r\n"
                             "\tBMP, PNG, JPEG, TIFF, GIF, WebP, ZIP\r\n";
    std::string sjis(utf8.size() * 2, '\0');
    iconv_t cd = ::iconv_open("CP932", "UTF-8");
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* out = sjis.data();
    std::size_t outLeft = sjis.size();
    const bool converted =
        cd != reinterpret_cast<iconv_t>(-1) &&
        ::iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        ::iconv_close(cd);
    }
    sjis.resize(sjis.size() - outLeft);
    std::ofstream file(path, std::ios::binary);
    file << sjis;
    file.close();
    report(path, converted && file);
}

// A lossy WebP, for the WebP plug-in.
void saveWebp(const std::string& folder, const char* name, const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::uint8_t* data = nullptr;
    const std::size_t size = WebPEncodeRGB(rgb.constBits(), rgb.width(), rgb.height(),
                                           static_cast<int>(rgb.bytesPerLine()), 80, &data);
    const std::string path = folder + "/" + name;
    const bool ok =
        size > 0 &&
        writeFileAtomically(path, std::span(reinterpret_cast<const std::byte*>(data), size));
    WebPFree(data);
    report(path, ok);
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

    const PictureBuffer sunset24 =
        pictureFromImage(sunset().convertToFormat(QImage::Format_BGR888));
    saveBytes(out, "colour-wheel.png",
              pngBytes(pictureFromImage(colourWheel().convertToFormat(QImage::Format_BGR888))));
    saveBytes(out, "sunset.jpg", jpegBytes(sunset24, 85, false));
    saveTiff(out, "shapes-8bit.tif", shapes(5));
    saveAnimatedGif(out, "bouncing-ball.gif");
    saveStillGif(out, "shapes.gif", shapes(5));
    saveShiftJisText(out, "memo.txt");
    saveWebp(out, "sunset.webp", sunset());

    // A zip with folders and Japanese names, for the archive plug-in.
    const std::vector<samples::ZipMember> members = {
        {"写真/海の夕焼け.jpg", jpegBytes(sunset24, 80, true)},
        {"写真/colour-wheel-8bit.png",
         pngBytes(pictureFromImage(colourWheel().convertToFormat(QImage::Format_Indexed8)))},
        {"線画/line-art-1bit.bmp",
         encodeBmp(pictureFromImage(lineArt().convertToFormat(QImage::Format_Mono)))},
        {"bouncing-ball.gif", readBytes(out + "/bouncing-ball.gif")},
    };
    bool complete = true;
    for (const samples::ZipMember& m : members)
        complete = complete && !m.data.empty();
    const std::string zip = out + "/album.zip";
    report(zip, complete && samples::writeZip(zip, members, kZipTime));
    return failures == 0 ? 0 : 1;
}
