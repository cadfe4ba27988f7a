#include "imaging/bmp_file.h"
#include "imaging/display_bitmap.h"
#include "imaging/drawing_surface.h"
#include "imaging/picture_draw.h"
#include "imaging/picture_qimage.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>

#include <filesystem>

namespace vemra {
namespace {

class Drawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureGuiApplication(); }
};

// A 3 x 2 picture with a distinct colour in every pixel.
PictureBuffer corners() {
    PictureBuffer p = PictureBuffer::create(3, 2, 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            p.setPixel(x, y, colourWord(x * 100, y * 200, 50));
        }
    }
    return p;
}

TEST_F(Drawing, GreyRampsAndBackground) {
    DrawingSurface s;
    ASSERT_TRUE(s.create(4, 3, 4));
    ASSERT_EQ(s.colourTable().size(), 16);
    EXPECT_EQ(s.colourTable()[1], qRgb(17, 17, 17));
    EXPECT_EQ(s.colourTable()[15], qRgb(255, 255, 255));
    ASSERT_TRUE(s.create(4, 3, 1));
    EXPECT_EQ(s.colourTable()[1], qRgb(255, 255, 255)); // 256 clamped
    ASSERT_TRUE(s.create(4, 3, 8, QColor(10, 20, 30)));
    EXPECT_EQ(s.colourTable()[200], qRgb(200, 200, 200));
    EXPECT_EQ(s.image().pixel(3, 2) & 0xFFFFFF, qRgb(10, 20, 30) & 0xFFFFFF);

    EXPECT_FALSE(s.create(0, 0));
    EXPECT_FALSE(s.create(0, 5));
    EXPECT_FALSE(s.create(5, 5, 7));
}

TEST_F(Drawing, SameSizeSurfaceIsReusedAndCleared) {
    DrawingSurface s;
    ASSERT_TRUE(s.create(5, 5, 24, QColor(Qt::white)));
    const uchar* before = s.image().constBits();
    ASSERT_TRUE(s.create(5, 5, 24));
    EXPECT_EQ(s.image().constBits(), before);
    EXPECT_EQ(s.image().pixel(2, 2) & 0xFFFFFF, 0u);
}

TEST_F(Drawing, PicturesAreDrawnUprightAndCapturedBottomUp) {
    const PictureBuffer picture = corners();
    DrawingSurface s;
    ASSERT_TRUE(s.create(5, 4));
    s.drawPicture(QRect(1, 1, 3, 2), picture);
    const PictureBuffer captured = s.capture();
    ASSERT_EQ(captured.bitCount(), 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(captured.pixel(x + 1, y + 1), picture.pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(captured.pixel(0, 0), 0u);
    // The bottom row is stored first.
    EXPECT_EQ(captured.row(3).data(), captured.pixels().data());
}

TEST_F(Drawing, StretchRepeatsPixelsAndSourceRectanglesSelect) {
    const PictureBuffer picture = corners();
    DrawingSurface s;
    ASSERT_TRUE(s.create(6, 4));
    s.drawPicture(QRect(0, 0, 6, 4), picture);
    const PictureBuffer doubled = s.capture();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(doubled.pixel(x, y), picture.pixel(x / 2, y / 2)) << x << "," << y;
        }
    }
    ASSERT_TRUE(s.create(1, 1));
    s.drawPicture(QRect(0, 0, 1, 1), picture, QRect(2, 1, 1, 1));
    EXPECT_EQ(s.capture().pixel(0, 0), picture.pixel(2, 1));
}

TEST_F(Drawing, RasterOperationsCombineWithTheDestination) {
    PictureBuffer p = PictureBuffer::create(1, 1, 24);
    p.setPixel(0, 0, colourWord(0xF0, 0x0F, 0xFF));
    DrawingSurface s;
    ASSERT_TRUE(s.create(1, 1, 24, QColor(0x3C, 0x3C, 0x00)));
    s.drawPicture(QRect(0, 0, 1, 1), p, {}, RasterOp::Xor);
    EXPECT_EQ(s.capture().pixel(0, 0), colourWord(0xCC, 0x33, 0xFF));
    ASSERT_TRUE(s.create(1, 1, 24, QColor(0x3C, 0x3C, 0x00)));
    s.drawPicture(QRect(0, 0, 1, 1), p, {}, RasterOp::And);
    EXPECT_EQ(s.capture().pixel(0, 0), colourWord(0x30, 0x0C, 0x00));
}

TEST_F(Drawing, IndexedSurfacesCaptureNearestTableEntries) {
    for (const int bits : {1, 4, 8}) {
        PictureBuffer picture = test::patternPicture(7, 3, bits);
        DrawingSurface s;
        ASSERT_TRUE(s.createFrom(picture)) << bits;
        EXPECT_EQ(s.bitCount(), bits);
        const PictureBuffer captured = s.capture();
        ASSERT_EQ(captured.bitCount(), bits);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 7; ++x) {
                EXPECT_EQ(captured.paletteColour(static_cast<int>(captured.pixel(x, y))),
                          picture.paletteColour(static_cast<int>(picture.pixel(x, y))))
                    << bits << " bits at " << x << "," << y;
            }
        }
    }
    DrawingSurface deep;
    ASSERT_TRUE(deep.createFrom(test::patternPicture(4, 4, 16), QSize(8, 8)));
    EXPECT_EQ(deep.capture().bitCount(), 16);
    EXPECT_EQ(deep.capture().width(), 8);
}

TEST_F(Drawing, SaveAsBmpReportsFailure) {
    test::TempDir dir;
    DrawingSurface s;
    EXPECT_EQ(s.saveAsBmp(dir.file("none.bmp")), -1); // nothing to save
    ASSERT_TRUE(s.create(3, 3, 24, QColor(Qt::red)));
    EXPECT_EQ(s.saveAsBmp(dir.file("missing/x.bmp")), -1);
    ASSERT_EQ(s.saveAsBmp(dir.file("red.bmp")), 0);
    const ReadResult read = readBmpFile(dir.file("red.bmp"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read.picture.pixel(1, 1), colourWord(255, 0, 0));
}

TEST_F(Drawing, BlitCopiesOrStretches) {
    DrawingSurface s;
    ASSERT_TRUE(s.create(2, 1, 24, QColor(Qt::blue)));
    QImage target(4, 2, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    s.blit(painter, QPoint(2, 1));
    painter.end();
    EXPECT_EQ(target.pixel(3, 1), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 0, 0));
    painter.begin(&target);
    s.blit(painter, QRect(0, 0, 4, 2));
    painter.end();
    EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 255));
}

TEST_F(Drawing, DisplayBitmapLoadsItsColoursAndDraws) {
    test::TempDir dir;
    PictureBuffer picture = PictureBuffer::create(2, 2, 8, 2);
    picture.setPaletteColour(1, colourWord(0, 200, 0));
    picture.setPixel(1, 0, 1);
    ASSERT_TRUE(writeBmpFile(dir.file("dib.bmp"), picture));

    DisplayBitmap dib;
    EXPECT_FALSE(dib.loadFile(QString::fromStdString(dir.file("nothing.bmp"))));
    EXPECT_TRUE(dib.isNull());
    ASSERT_TRUE(dib.loadFile(QString::fromStdString(dir.file("dib.bmp"))));
    EXPECT_EQ(dib.size(), QSize(2, 2));
    ASSERT_EQ(dib.palette().size(), 2);
    EXPECT_EQ(dib.palette()[1], qRgb(0, 200, 0));

    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    dib.draw(painter, QRect(0, 0, 2, 2));
    dib.draw(painter, QRect(0, 2, 4, 2), QRect(0, 0, 2, 1)); // stretched top row
    painter.end();
    EXPECT_EQ(target.pixel(1, 0), qRgb(0, 200, 0));
    EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(2, 3), qRgb(0, 200, 0));
    EXPECT_EQ(target.pixel(1, 3), qRgb(0, 0, 0));
}

// Draws every sample picture through our reader beside Qt's own decode of
// the same file, and saves the sheet under the build tree for a person to
// look at. Both columns must match.
TEST_F(Drawing, SamplesSheetMatchesQtsDecoder) {
    const std::filesystem::path samples = std::filesystem::path(VEMRA_SOURCE_DIR) / "samples";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() == ".bmp") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    DrawingSurface sheet;
    ASSERT_TRUE(sheet.create(2 * 170, 130 * static_cast<int>(files.size()), 24, QColor(Qt::gray)));
    int y = 0;
    for (const auto& file : files) {
        const ReadResult ours = readBmpFile(file.string());
        ASSERT_TRUE(ours) << file;
        const QImage theirs(QString::fromStdString(file.string()));
        ASSERT_FALSE(theirs.isNull()) << file;
        const QImage mine = pictureToImage(ours.picture);
        ASSERT_EQ(mine.size(), theirs.size());
        int worst = 0;
        for (int py = 0; py < mine.height(); ++py) {
            for (int px = 0; px < mine.width(); ++px) {
                const QRgb a = mine.pixel(px, py);
                const QRgb b = theirs.pixel(px, py);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        }
        // Qt widens 5- and 6-bit channels by replication, we by setting low bits.
        EXPECT_LE(worst, ours.picture.bitCount() == 16 ? 7 : 0) << file;
        drawPicture(sheet.painter(), QPoint(0, y), ours.picture);
        sheet.painter().drawImage(QPoint(170, y), theirs);
        y += 130;
    }
    QDir().mkpath("screenshots");
    EXPECT_TRUE(sheet.image().save("screenshots/samples-sheet.png"));
}

} // namespace
} // namespace vemra
