#include "document/thumb_cache.h"

#include "../imaging/test_support.h"
#include "document/picture_source.h"
#include "document/store_location.h"
#include "fake_scan_services.h"
#include "platform/endian.h"
#include "platform/file_status.h"
#include "platform/profile_ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace vemra {
namespace {

using test::FakeScanServices;

class ThumbCacheTest : public ::testing::Test {
protected:
    test::TempDir pictures;
    test::TempDir central;
    FakeScanServices services;
    ThumbCache cache;

    std::string folder() const { return pictures.path().string(); }

    PictureSource entry(const std::string& name) const {
        PictureSource e;
        e.folder = folder();
        e.fileName = name;
        e.decoder = kJpegDecoderId;
        e.length = 12345;
        e.lastWriteTime = 1'600'000'000;
        e.pictureWidth = 640;
        e.pictureHeight = 480;
        e.bitCount = 24;
        e.boxWidth = 110;
        e.boxHeight = 110;
        e.drawnCellWidth = 120;
        e.drawnCellHeight = 130;
        e.scaleModeUsed = 7;
        e.unsharpUsed = true;
        e.orientation = 1; // known once the thumbnail is made
        e.thumbnail = test::patternPicture(32, 24, 24);
        return e;
    }

    // Stores `e`, writes the files and forgets them, as closing the
    // document does, so the next look-up reads from disk.
    void storeAndReopen(PictureSource& e) {
        ASSERT_TRUE(cache.store(e, services));
        ASSERT_TRUE(cache.writeAll());
        cache.closeAll();
    }

    // A fresh entry with the same identity and nothing learnt yet.
    PictureSource bare(const PictureSource& e) const {
        PictureSource fresh;
        fresh.folder = e.folder;
        fresh.fileName = e.fileName;
        fresh.archiveFileName = e.archiveFileName;
        fresh.length = e.length;
        fresh.lastWriteTime = e.lastWriteTime;
        fresh.memberPosition = e.memberPosition;
        return fresh;
    }
};

TEST_F(ThumbCacheTest, StoredThumbnailRoundTripsThroughTheFile) {
    PictureSource e = entry("a.jpg");
    storeAndReopen(e);
    EXPECT_TRUE(e.cached);
    const auto bytes = test::readFile(pictures.file("_THUMBS_.KPI"));
    ASSERT_GT(bytes.size(), ThumbRecord::kHeaderSize);
    EXPECT_EQ(loadU32(bytes.data()), 752u);
    EXPECT_EQ(loadU32(bytes.data() + 4), bytes.size() - 752);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 308)), "JPEG");

    PictureSource back = bare(e);
    ASSERT_TRUE(cache.lookUp(back, services));
    EXPECT_TRUE(back.cached);
    EXPECT_TRUE(back.cacheTried);
    EXPECT_EQ(back.decoder, kJpegDecoderId);
    EXPECT_EQ(back.pictureWidth, 640);
    EXPECT_EQ(back.pictureHeight, 480);
    EXPECT_EQ(back.bitCount, 24);
    EXPECT_EQ(back.boxWidth, 110);
    EXPECT_EQ(back.drawnCellWidth, 120);
    EXPECT_EQ(back.drawnCellHeight, 130);
    EXPECT_EQ(back.scaleModeUsed, 7);
    EXPECT_EQ(back.drawing.scaleMode, 7);
    EXPECT_TRUE(back.unsharpUsed);
    ASSERT_TRUE(back.thumbnail);
    EXPECT_EQ(back.thumbnail.width(), 32);
    EXPECT_EQ(back.thumbnail.height(), 24);
    EXPECT_EQ(back.thumbnail.bitCount(), 24);
}

TEST_F(ThumbCacheTest, ArchiveMembersAndFontAreRecorded) {
    PictureSource e = entry("inner.jpg");
    e.archiveFileName = "pack.arc";
    e.archiveDecoder = FakeScanServices::kArchiveId;
    e.memberPosition = 300;
    EntryAppearance caption;
    caption.fontFaceName = "ＭＳ ゴシック";
    caption.fontHeight = -12;
    caption.fontWeight = 700;
    e.appearance = std::make_shared<const EntryAppearance>(caption);
    storeAndReopen(e);
    ThumbCacheFile& file = cache.findOrOpen(folder());
    const std::optional<ThumbRecord> r = file.find("inner.jpg", "pack.arc");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text(ThumbRecord::ArchiveDecoder), "arcspi");
    EXPECT_EQ(r->fontFaceName(), "ＭＳ ゴシック");
    const auto font = r->bytes().subspan(ThumbRecord::kFontOffset);
    EXPECT_EQ(loadI32(font.data()), -12);
    EXPECT_EQ(loadI32(font.data() + 16), 700);
    EXPECT_FALSE(file.contains("inner.jpg", ""));

    PictureSource wrongPosition = bare(e);
    wrongPosition.memberPosition = 400;
    EXPECT_FALSE(cache.lookUp(wrongPosition, services));
    PictureSource back = bare(e);
    EXPECT_TRUE(cache.lookUp(back, services));
}

TEST_F(ThumbCacheTest, RewrittenOrChangedPictureIsNotTakenFromTheCache) {
    PictureSource e = entry("a.jpg");
    storeAndReopen(e);

    PictureSource newer = bare(e);
    newer.lastWriteTime += 60;
    EXPECT_FALSE(cache.lookUp(newer, services));
    EXPECT_TRUE(newer.cacheTried);
    EXPECT_FALSE(newer.cached);
    EXPECT_FALSE(newer.thumbnail);
    PictureSource longer = bare(e);
    longer.length += 1;
    EXPECT_FALSE(cache.lookUp(longer, services));

    // The new thumbnail replaces the record instead of adding one.
    newer.thumbnail = test::patternPicture(20, 10, 24);
    newer.decoder = kJpegDecoderId;
    newer.orientation = 1;
    storeAndReopen(newer);
    ASSERT_EQ(cache.findOrOpen(folder()).recordCount(), 1u);
    PictureSource back = bare(newer);
    ASSERT_TRUE(cache.lookUp(back, services));
    EXPECT_EQ(back.thumbnail.width(), 20);
}

TEST_F(ThumbCacheTest, PlainFileNeedsItsDecoderStillInUse) {
    PictureSource e = entry("a.gif");
    e.decoder = kGifDecoderId; // the fake services know no GIF decoder
    storeAndReopen(e);
    PictureSource back = bare(e);
    EXPECT_FALSE(cache.lookUp(back, services));
}

TEST_F(ThumbCacheTest, RecordWrittenUnderTheOtherTimeConventionIsValid) {
    test::ScopedEnvironment zone("TZ", "JST-9");
    PictureSource e = entry("a.jpg");
    // A writer that took universal calendar fields for local ones recorded
    // the time nine hours early in Japan.
    const std::int64_t actual = e.lastWriteTime;
    const auto other = static_cast<std::uint32_t>(actual - 9 * 3600);
    EXPECT_TRUE(isOtherTimeConvention(other, actual));
    EXPECT_FALSE(isOtherTimeConvention(other + 1, actual));
    EXPECT_FALSE(isOtherTimeConvention(static_cast<std::uint32_t>(actual + 9 * 3600), actual));

    e.lastWriteTime = other;
    storeAndReopen(e);
    PictureSource back = bare(e);
    back.lastWriteTime = actual;
    EXPECT_TRUE(cache.lookUp(back, services));
    // Only a positive time is converted.
    PictureSource negative = bare(e);
    negative.lastWriteTime = -1;
    EXPECT_FALSE(cache.lookUp(negative, services));
}

TEST_F(ThumbCacheTest, RemoveAndEmptyFileDeletion) {
    PictureSource a = entry("a.jpg");
    PictureSource b = entry("b.jpg");
    ASSERT_TRUE(cache.store(a, services));
    ASSERT_TRUE(cache.store(b, services));
    EXPECT_FALSE(cache.store(a, services)); // already cached
    ASSERT_TRUE(cache.writeAll());
    cache.remove(a);
    EXPECT_FALSE(a.cached);
    ASSERT_TRUE(cache.writeAll());
    cache.closeAll();
    EXPECT_EQ(cache.findOrOpen(folder()).recordCount(), 1u);
    cache.remove(b);
    ASSERT_TRUE(cache.writeAll());
    EXPECT_FALSE(std::filesystem::exists(pictures.file("_THUMBS_.KPI")));
}

TEST_F(ThumbCacheTest, CentralFolderGivesNumberedFilesAndCountsUp) {
    cache.setCentralFolder(central.path().string());
    test::TempDir second;
    ProfileIni list(central.file("_cache_.lst"));
    ASSERT_TRUE(list.writeInt("Thumbsnail", "CacheSeqNo", 41));

    PictureSource e = entry("a.jpg");
    storeAndReopen(e);
    const std::string key = storeFolderKey(folder());
    EXPECT_EQ(list.readText("Thumbsnail", key), "00000041.kpt");
    EXPECT_EQ(list.readInt("Thumbsnail", "CacheSeqNo", 0), 42);
    EXPECT_TRUE(std::filesystem::exists(central.file("00000041.kpt")));
    EXPECT_FALSE(std::filesystem::exists(pictures.file("_THUMBS_.KPI")));

    // The same folder keeps its name; another one gets the next.
    EXPECT_EQ(locateStoreFile(folder(), central.path().string(), kThumbStore),
              central.file("00000041.kpt"));
    EXPECT_EQ(locateStoreFile(second.path().string(), central.path().string(), kThumbStore),
              central.file("00000042.kpt"));
    EXPECT_EQ(list.readInt("Thumbsnail", "CacheSeqNo", 0), 43);

    PictureSource back = bare(e);
    EXPECT_TRUE(cache.lookUp(back, services));
}

TEST_F(ThumbCacheTest, DamagedThumbnailLeavesTheEntryAsItWas) {
    PictureSource e = entry("a.jpg");
    ASSERT_TRUE(cache.store(e, services));
    ThumbCacheFile& file = cache.findOrOpen(folder());
    ThumbRecord r = *file.find("a.jpg", "");
    std::vector<std::byte> broken(r.jpegData().begin(), r.jpegData().begin() + 40);
    r.setJpegData(broken);
    file.put(std::move(r));
    PictureSource back = bare(e);
    back.pictureWidth = 5;
    EXPECT_FALSE(cache.lookUp(back, services));
    EXPECT_FALSE(back.cached);
    EXPECT_FALSE(back.thumbnail);
    EXPECT_EQ(back.pictureWidth, 5);
}

TEST_F(ThumbCacheTest, ListNameLeadingOutOfTheCentralFolderIsNotUsed) {
    ProfileIni list(central.file("_cache_.lst"));
    ASSERT_TRUE(list.writeText("Thumbsnail", storeFolderKey(folder()), "../escape.kpt"));
    EXPECT_EQ(locateStoreFile(folder(), central.path().string(), kThumbStore),
              central.file("00000000.kpt"));
    EXPECT_EQ(list.readInt("Thumbsnail", "CacheSeqNo", 0), 1);
}

TEST_F(ThumbCacheTest, FolderKeyHasSerialAndNoEqualsSign) {
    const std::string key = storeFolderKey("/pics/a=b");
    ASSERT_EQ(key.size(), 8 + std::strlen("/pics/a=b"));
    EXPECT_EQ(key.substr(8), "/pics/a|b");
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08X", volumeSerial("/pics/a=b"));
    EXPECT_EQ(key.substr(0, 8), serial);
    EXPECT_EQ(volumeSerial("/no/such/path"), 0u);
}

TEST_F(ThumbCacheTest, FileInThePictureFolderIsPreferredOverTheCentralFolder) {
    test::writeFile(pictures.file("_THUMBS_.KPI"), {});
    cache.setCentralFolder(central.path().string());
    PictureSource e = entry("a.jpg");
    storeAndReopen(e);
    EXPECT_GT(std::filesystem::file_size(pictures.file("_THUMBS_.KPI")), 680u);
    EXPECT_FALSE(std::filesystem::exists(central.file("_cache_.lst")));
    EXPECT_FALSE(findStoreFile("/no/such/folder", central.path().string(), kNoteStore));
    EXPECT_EQ(findStoreFile(folder(), "", kThumbStore), pictures.file("_THUMBS_.KPI"));
}

TEST_F(ThumbCacheTest, MissingCentralFolderIsMadeAndUnwritableOneKeepsTheFileInTheFolder) {
    const std::string missing = central.file("not-there/yet");
    EXPECT_FALSE(findStoreFile(folder(), missing, kThumbStore));
    EXPECT_EQ(locateStoreFile(folder(), missing, kThumbStore), missing + "/00000000.kpt");
    EXPECT_FALSE(std::filesystem::exists(pictures.file("_THUMBS_.KPI")));

    // A central folder that cannot be made (its parent is a file).
    test::writeFile(central.file("plain-file"), {});
    const std::string blocked = central.file("plain-file/cache");
    EXPECT_EQ(locateStoreFile(folder(), blocked, kThumbStore), pictures.file("_THUMBS_.KPI"));
    EXPECT_FALSE(findStoreFile(folder(), blocked, kThumbStore));
}

} // namespace
} // namespace vemra
