#include "document/thumbnail_maker.h"

#include "../imaging/test_support.h"
#include "document/cell_geometry.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "fake_picture_loader.h"
#include "imaging/decoder_registry.h"
#include "imaging/jpeg_encoder.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(ThumbnailFit, ProportionsKeptAndSmallPicturesNotEnlargedUnderLimitCheck) {
    auto size = [](int w, int h, int bw, int bh, bool limit) {
        const PictureSize s = fittedSize(w, h, bw, bh, limit);
        return std::pair(s.width, s.height);
    };
    EXPECT_EQ(size(4000, 3000, 106, 80, true), std::pair(106, 79));
    EXPECT_EQ(size(3000, 4000, 106, 80, true), std::pair(60, 80));
    EXPECT_EQ(size(50, 40, 106, 80, true), std::pair(50, 40));
    EXPECT_EQ(size(50, 40, 106, 80, false), std::pair(100, 80));
    // A factor like 0.1 that floating point cannot hold exactly still fills
    // the deciding side.
    EXPECT_EQ(size(1600, 1200, 160, 120, true), std::pair(160, 120));
    // A sliver keeps at least one pixel.
    EXPECT_EQ(size(10000, 1, 100, 100, true), std::pair(100, 1));
    EXPECT_EQ(size(0, 40, 106, 80, true), std::pair(0, 0));
    EXPECT_EQ(size(50, 40, 0, 80, true), std::pair(0, 0));

    EXPECT_EQ(rotatedSize(400, 300, 90).width, 300);
    EXPECT_EQ(rotatedSize(400, 300, -270).height, 400);
    EXPECT_EQ(rotatedSize(400, 300, 540).width, 400);
    const PictureSize turned = rotatedSize(100, 100, 45);
    EXPECT_GE(turned.width, 141);
    EXPECT_LE(turned.width, 143);
}

TEST(ThumbnailFit, PictureAreaOfACellLeavesRoomForFrameAndCaptions) {
    EntryDrawingOptions drawing;
    drawing.frame = false;
    drawing.name = true;
    EXPECT_EQ(cellGeometry(110, 110, drawing, 14), (CellGeometry{110, 110, 110, 86}));
    drawing.frame = true;
    EXPECT_EQ(cellGeometry(110, 110, drawing, 28), (CellGeometry{110, 110, 106, 68}));
    drawing.name = false;
    EXPECT_EQ(cellGeometry(110, 90, drawing, 28), (CellGeometry{110, 90, 106, 86}));
    // A caption taller than the cell still leaves one pixel.
    drawing.name = true;
    EXPECT_EQ(cellGeometry(40, 40, drawing, 200), (CellGeometry{40, 40, 36, 1}));
}

TEST(ThumbnailMaker, FitModeRotationAndFailures) {
    test::FakePictureLoader loader;
    ThumbnailMaker maker(loader, UnsharpSettings{});
    PictureSource e;
    e.fileName = "a.jpg";
    e.rotation = 90;
    e.cached = true;
    ASSERT_TRUE(maker.make(e, 106, 80));
    EXPECT_EQ(e.thumbnail.width(), 60);
    EXPECT_EQ(e.thumbnail.height(), 80);
    EXPECT_FALSE(e.cached);

    e.rotation = 0;
    e.fitMode = 0; // the whole box
    ASSERT_TRUE(maker.make(e, 106, 80));
    EXPECT_EQ(e.thumbnail.width(), 106);
    EXPECT_EQ(e.thumbnail.height(), 80);

    e.fileName = "bad.jpg";
    EXPECT_FALSE(maker.make(e, 106, 80));
    EXPECT_FALSE(e.thumbnail);
    e.fileName = "a.jpg";
    EXPECT_FALSE(maker.make(e, 0, 80));
}

// The real road: the registry's JPEG decoder at reduced size, then scaling
// and sharpening, for a picture the entry knows nothing about yet.
TEST(ThumbnailMaker, RegistryDecodesJpegReducedAndTheEntryLearnsItsPicture) {
    test::TempDir dir;
    SettingsStore store(dir.file("settings.ini"));
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    RegistryPictureLoader loader(registry);
    ThumbnailMaker maker(loader, UnsharpSettings{});

    std::vector<std::byte> jpeg;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(640, 480, 24), JpegOptions{}, jpeg));
    test::writeFile(dir.file("photo.jpg"), jpeg);
    PictureSource e;
    e.folder = dir.path().string();
    e.fileName = "photo.jpg";
    ASSERT_TRUE(maker.make(e, 106, 80));
    EXPECT_EQ(e.decoder, kJpegDecoderId);
    EXPECT_EQ(e.pictureWidth, 640);
    EXPECT_EQ(e.pictureHeight, 480);
    EXPECT_EQ(e.bitCount, 24);
    EXPECT_EQ(e.thumbnail.width(), 106);
    EXPECT_EQ(e.thumbnail.height(), 79);
    EXPECT_EQ(e.thumbnail.bitCount(), 24);

    test::writeFile(dir.file("text.jpg"), test::bytes({'n', 'o', 't', ' ', 'a', ' ', 'j'}));
    PictureSource broken;
    broken.folder = dir.path().string();
    broken.fileName = "text.jpg";
    EXPECT_FALSE(maker.make(broken, 106, 80));
    EXPECT_EQ(broken.decoder, kNoDecoder);
}

} // namespace
} // namespace vemra
