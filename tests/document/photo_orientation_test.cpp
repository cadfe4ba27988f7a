// Thumbnails and cache records of photographs stored in the eight EXIF
// orientations: one upright "F" in every thumbnail, upright sizes, and a
// cache record that remembers how it was made.
#include "../imaging/orientation_pictures.h"
#include "../imaging/test_support.h"
#include "document/exif_previews.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_maker.h"
#include "fake_scan_services.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

class PhotoThumbnailTest : public ::testing::Test {
protected:
    test::TempDir dir;
    SettingsStore store{dir.file("settings.ini")};
    DecoderRegistry registry{store};
    RegistryPictureLoader loader{registry};
    ThumbnailMaker maker{loader, UnsharpSettings{}};

    void SetUp() override { registry.setWriteBack(false); }

    PictureSource photo(int orientation, bool autoRotate = true) {
        const std::string name = "f" + std::to_string(orientation) + ".jpg";
        test::writeOrientedJpeg(dir.file(name), orientation, true);
        PictureSource e;
        e.folder = dir.path().string();
        e.fileName = name;
        e.drawing.autoRotate = autoRotate;
        e.drawing.unsharp = false;
        e.drawing.limitCheck = false; // the F is smaller than the box
        return e;
    }
};

TEST_F(PhotoThumbnailTest, EveryOrientationMakesTheUprightThumbnail) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        PictureSource e = photo(orientation);
        ASSERT_TRUE(maker.make(e, 96, 96));
        EXPECT_EQ(e.orientation, orientation);
        EXPECT_TRUE(e.autoRotateUsed);
        // Fitted upright: 72 x 96 for the 3:4 F whichever way it was stored.
        EXPECT_EQ(e.thumbnail.width(), 72);
        EXPECT_EQ(e.thumbnail.height(), 96);
        EXPECT_EQ(test::uprightFMismatch(e.thumbnail), "");
        const PictureSize upright = uprightPictureSize(e);
        EXPECT_EQ(upright.width, test::kUprightFWidth);
        EXPECT_EQ(upright.height, test::kUprightFHeight);
        EXPECT_EQ(e.cameraModel, "Canon EOS 5D Mark IV");
        EXPECT_GT(e.dateTaken, 0);
    }
}

TEST_F(PhotoThumbnailTest, AutoRotateOffShowsThePictureAsStored) {
    PictureSource e = photo(6, false);
    ASSERT_TRUE(maker.make(e, 96, 96));
    EXPECT_EQ(e.orientation, 6); // still known, for the information
    EXPECT_FALSE(e.autoRotateUsed);
    EXPECT_EQ(e.thumbnail.width(), 96);
    EXPECT_EQ(e.thumbnail.height(), 72);
    EXPECT_NE(test::uprightFMismatch(e.thumbnail), "");
    EXPECT_EQ(uprightPictureSize(e).width, test::kUprightFHeight);
}

// A record remembers the orientation, the date and the camera; a record of
// an older writer (no mark) or one made with the other AutoRotate is made
// again.
TEST_F(PhotoThumbnailTest, CacheRecordsCarryTheMark) {
    test::FakeScanServices services;
    ThumbCache cache;
    PictureSource e = photo(8);
    ASSERT_TRUE(maker.make(e, 96, 96));
    e.boxWidth = 96;
    e.boxHeight = 96;
    ASSERT_TRUE(cache.store(e, services));

    PictureSource again;
    again.folder = e.folder;
    again.fileName = e.fileName;
    again.length = e.length;
    again.lastWriteTime = e.lastWriteTime;
    again.useCacheFirst = true;
    ASSERT_TRUE(cache.lookUp(again, services));
    EXPECT_EQ(again.orientation, 8);
    EXPECT_TRUE(again.autoRotateUsed);
    EXPECT_EQ(again.dateTaken, e.dateTaken);
    EXPECT_EQ(again.cameraModel, "Canon EOS 5D Mark IV");
    EXPECT_EQ(test::uprightFMismatch(again.thumbnail), "");

    // The same record without its mark, as older writers left it.
    ThumbCacheFile& file = cache.findOrOpen(e.folder);
    ThumbRecord old = *file.recordAt(0);
    old.setU32(ThumbRecord::Photo, 0);
    file.put(std::move(old));
    PictureSource fresh = again;
    fresh.thumbnail = {};
    fresh.orientation = 0;
    EXPECT_FALSE(cache.lookUp(fresh, services));
    EXPECT_FALSE(fresh.thumbnail);
}

// A camera's own small thumbnail, upright and fitted into the cell, for the
// first paint; nothing for files without one or of other kinds.
TEST_F(PhotoThumbnailTest, ExifThumbnailsComeUprightAndFitted) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path = dir.file("t" + std::to_string(orientation) + ".jpg");
        test::writeOrientedJpeg(path, orientation, false, true);
        const PictureBuffer preview = exifPreview(path, 96, 96, true);
        EXPECT_EQ(preview.width(), 72);
        EXPECT_EQ(preview.height(), 96);
        EXPECT_EQ(test::uprightFMismatch(preview), "");
    }
    test::writeOrientedJpeg(dir.file("plain.jpg"), 6);
    EXPECT_FALSE(exifPreview(dir.file("plain.jpg"), 96, 96, true));
    EXPECT_FALSE(exifPreview(dir.file("missing.jpg"), 96, 96, true));
    EXPECT_TRUE(mayCarryExifPreview("DSC0001.JPG"));
    EXPECT_TRUE(mayCarryExifPreview("a.jpeg"));
    EXPECT_FALSE(mayCarryExifPreview("a.png"));
    EXPECT_FALSE(mayCarryExifPreview("jpg"));
}

} // namespace
} // namespace vemra
