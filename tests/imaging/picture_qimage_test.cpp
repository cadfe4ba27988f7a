#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"
#include "platform/endian.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

QImage colourful(int w, int h, QImage::Format format) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 40 % 256, y * 60 % 256, (x + y) * 25 % 256));
        }
    }
    return image.convertToFormat(format);
}

void expectSamePixels(const QImage& a, const QImage& b, int tolerance = 0) {
    ASSERT_EQ(a.size(), b.size());
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            EXPECT_LE(std::abs(qRed(p) - qRed(q)), tolerance) << x << "," << y;
            EXPECT_LE(std::abs(qGreen(p) - qGreen(q)), tolerance) << x << "," << y;
            EXPECT_LE(std::abs(qBlue(p) - qBlue(q)), tolerance) << x << "," << y;
        }
    }
}

TEST(PictureFromImage, DepthAndTableFollowTheImage) {
    struct Case {
        QImage::Format format;
        int bits;
        int entries;
    } cases[] = {
        {QImage::Format_Mono, 1, 2},       {QImage::Format_MonoLSB, 1, 2},
        {QImage::Format_Indexed8, 8, 256}, {QImage::Format_Grayscale8, 8, 256},
        {QImage::Format_RGB16, 16, 0},     {QImage::Format_RGB555, 16, 0},
        {QImage::Format_RGB888, 24, 0},    {QImage::Format_BGR888, 24, 0},
        {QImage::Format_RGB32, 32, 0},     {QImage::Format_ARGB32, 32, 0},
        {QImage::Format_RGBA64, 32, 0},
    };
    for (const Case& c : cases) {
        const QImage image = colourful(7, 5, c.format);
        const PictureBuffer p = pictureFromImage(image);
        ASSERT_TRUE(p.isValid()) << c.format;
        EXPECT_EQ(p.bitCount(), c.bits) << c.format;
        EXPECT_EQ(p.colourEntries(), c.entries) << c.format;
        EXPECT_EQ(p.compression(), Compression::None);
        // 16-bit pictures keep five bits per channel.
        expectSamePixels(pictureToImage(p), image.convertToFormat(QImage::Format_RGB32),
                         c.bits == 16 ? 8 : 0);
    }
    EXPECT_TRUE(pictureFromImage(QImage()).isNull());
}

TEST(PictureFromImage, PaletteIsUsedWhenTheImageHasNone) {
    QImage grey(2, 1, QImage::Format_Grayscale8);
    grey.scanLine(0)[0] = 0;
    grey.scanLine(0)[1] = 1;
    const QRgb palette[] = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    const PictureBuffer p = pictureFromImage(grey, palette);
    EXPECT_EQ(p.paletteColour(0), colourWord(255, 0, 0));
    EXPECT_EQ(p.paletteColour(1), colourWord(0, 0, 255));
    EXPECT_EQ(p.pixel(1, 0), 1u);
}

TEST(PictureFromImage, RequestedCompressions) {
    const QImage indexed = colourful(9, 4, QImage::Format_Indexed8);
    const PictureBuffer rle = pictureFromImage(indexed, Compression::Rle8);
    ASSERT_TRUE(rle.isValid());
    EXPECT_EQ(rle.compression(), Compression::Rle8);
    expectSamePixels(pictureToImage(rle), indexed);

    const QImage rgb16 = colourful(9, 4, QImage::Format_RGB16);
    const PictureBuffer fields = pictureFromImage(rgb16, Compression::BitFields);
    ASSERT_TRUE(fields.isValid());
    EXPECT_EQ(fields.compression(), Compression::BitFields);
    EXPECT_EQ(loadU32(fields.bitFieldMasks().data()), 0xF800u);
    expectSamePixels(pictureToImage(fields), rgb16, 7);

    EXPECT_TRUE(pictureFromImage(indexed, Compression::Rle4).isNull());
    EXPECT_TRUE(
        pictureFromImage(colourful(3, 3, QImage::Format_RGB888), Compression::Rle8).isNull());
}

TEST(PictureToImage, EveryDepthComesOutUpright) {
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        const PictureBuffer p = test::patternPicture(6, 4, bits);
        PictureBuffer reference = p.duplicate();
        ASSERT_TRUE(convertTo24Bits(reference));
        const QImage image = pictureToImage(p);
        ASSERT_EQ(image.size(), QSize(6, 4)) << bits;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const ColourWord c = reference.pixel(x, y);
                EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF,
                          qRgb(redOf(c), greenOf(c), blueOf(c)) & 0xFFFFFF)
                    << bits << " bits at " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(pictureToImage(PictureBuffer::allocate(10)).isNull());
}

TEST(WrapStoredRows, SharesMemoryOnlyWhereTheLayoutMatches) {
    const PictureBuffer p24 = test::patternPicture(5, 3, 24);
    const QImage wrapped = wrapStoredRows(p24);
    ASSERT_FALSE(wrapped.isNull());
    EXPECT_EQ(static_cast<const void*>(wrapped.constBits()),
              static_cast<const void*>(p24.pixels().data()));
    EXPECT_FALSE(wrapStoredRows(test::patternPicture(5, 3, 1)).isNull());
    EXPECT_FALSE(wrapStoredRows(test::patternPicture(5, 3, 8)).isNull());
    // Depths whose channels Qt would widen differently from convertTo24Bits
    // are not shared, so that a picture looks the same on every path.
    EXPECT_TRUE(wrapStoredRows(test::patternPicture(5, 3, 16)).isNull());
    EXPECT_TRUE(wrapStoredRows(test::patternPicture(5, 3, 4)).isNull());
    EXPECT_TRUE(wrapStoredRows(test::patternPicture(5, 3, 32)).isNull());
    // A short table is padded so that every index has a colour.
    const PictureBuffer shortTable = PictureBuffer::create(2, 2, 8, 2);
    EXPECT_EQ(wrapStoredRows(shortTable).colorCount(), 256);
}

} // namespace
} // namespace vemra
