#include "document/cell_thumbnail.h"

#include "../imaging/test_support.h"
#include "document/picture_source.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_maker.h"
#include "fake_picture_loader.h"
#include "fake_scan_services.h"
#include "platform/file_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

constexpr CellGeometry kCell{110, 110, 106, 80};

class CellThumbnailTest : public ::testing::Test {
protected:
    test::TempDir pictures;
    test::FakeScanServices services;
    test::FakePictureLoader loader;
    ThumbCache cache;
    ThumbnailMaker maker{loader, UnsharpSettings{}};

    ThumbnailServices context(bool storeAtOnce = true) {
        return ThumbnailServices{cache, services, &maker, storeAtOnce};
    }

    // An entry for a file, as a scan would list it. The file is written only
    // when its content changes, so that its time stays what a record holds.
    PictureSource entry(const std::string& name, const std::string& content = "picture") {
        const std::string path = pictures.file(name);
        const std::vector<std::byte> wanted(reinterpret_cast<const std::byte*>(content.data()),
                                            reinterpret_cast<const std::byte*>(content.data()) +
                                                content.size());
        if (!std::filesystem::exists(path) || test::readFile(path) != wanted)
            std::ofstream(path, std::ios::binary) << content;
        PictureSource e;
        e.folder = pictures.path().string();
        e.fileName = name;
        const auto status = fileStatus(path);
        e.length = status->size;
        e.lastWriteTime = status->lastWriteTime;
        e.decoder = kJpegDecoderId;
        e.useCacheFirst = true;
        return e;
    }

    std::optional<ThumbRecord> record(const std::string& name) {
        ThumbCacheFile* file = cache.findOpen(pictures.path().string());
        return file ? file->find(name, "") : std::nullopt;
    }

    // Writes what was stored and forgets it, as leaving the folder does.
    void writeAndClose() {
        ASSERT_TRUE(cache.writeAll());
        cache.closeAll();
    }
};

TEST_F(CellThumbnailTest, MissIsMadeForTheAreaAndStoredAtOnceOnlyWithCacheFolder) {
    PictureSource e = entry("a.jpg");
    const CellThumbnail r = prepareCellThumbnail(e, kCell, true, context());
    EXPECT_TRUE(r.exists);
    EXPECT_TRUE(r.made);
    EXPECT_FALSE(r.loaded);
    EXPECT_TRUE(r.isNew());
    EXPECT_TRUE(e.madeNow);
    EXPECT_FALSE(e.useCacheFirst);
    EXPECT_FALSE(e.cacheTried);
    // 800 x 600 into 106 x 80: the height decides.
    EXPECT_EQ(e.thumbnail.width(), 106);
    EXPECT_EQ(e.thumbnail.height(), 79);
    EXPECT_EQ(e.boxWidth, 110);
    EXPECT_EQ(e.boxHeight, 110);
    EXPECT_EQ(e.drawnCellWidth, 110);
    EXPECT_EQ(e.scaleModeUsed, 10);
    EXPECT_TRUE(e.unsharpUsed);
    EXPECT_TRUE(e.cached);
    ASSERT_TRUE(record("a.jpg"));
    EXPECT_EQ(record("a.jpg")->i32(ThumbRecord::BoxWidth), 110);
    EXPECT_EQ(record("a.jpg")->i32(ThumbRecord::PictureWidth), 800);

    PictureSource f = entry("b.jpg");
    EXPECT_TRUE(prepareCellThumbnail(f, kCell, true, context(false)).made);
    EXPECT_FALSE(f.cached);
    EXPECT_FALSE(record("b.jpg"));

    // Drawn again in the same cell: nothing new, nothing decoded.
    const int calls = loader.calls;
    const CellThumbnail again = prepareCellThumbnail(e, kCell, true, context());
    EXPECT_TRUE(again.exists);
    EXPECT_FALSE(again.isNew());
    EXPECT_FALSE(e.madeNow);
    EXPECT_EQ(loader.calls, calls);
}

TEST_F(CellThumbnailTest, WithoutMayMakeOnlyTheCacheIsAsked) {
    PictureSource stored = entry("a.jpg");
    ASSERT_TRUE(prepareCellThumbnail(stored, kCell, true, context()).made);
    writeAndClose();

    PictureSource missing = entry("new.jpg");
    const CellThumbnail none = prepareCellThumbnail(missing, kCell, false, context());
    EXPECT_FALSE(none.exists);
    EXPECT_FALSE(none.isNew());

    // A fresh entry for the stored picture is loaded, not decoded.
    PictureSource again = entry("a.jpg");
    const int calls = loader.calls;
    const CellThumbnail loaded = prepareCellThumbnail(again, kCell, false, context());
    EXPECT_TRUE(loaded.exists);
    EXPECT_TRUE(loaded.loaded);
    EXPECT_FALSE(loaded.made);
    EXPECT_TRUE(again.madeNow);
    EXPECT_TRUE(again.cached);
    EXPECT_EQ(loader.calls, calls);
    EXPECT_EQ(again.thumbnail.width(), 106);
    EXPECT_EQ(again.pictureWidth, 800);

    // The cache is asked once per entry: a record that turns up after the
    // first drawing is not looked for again.
    PictureSource once = entry("late.jpg");
    EXPECT_FALSE(prepareCellThumbnail(once, kCell, false, context()).exists);
    PictureSource other = entry("late.jpg");
    ASSERT_TRUE(prepareCellThumbnail(other, kCell, true, context()).made);
    ASSERT_TRUE(record("late.jpg"));
    EXPECT_FALSE(prepareCellThumbnail(once, kCell, false, context()).exists);
}

TEST_F(CellThumbnailTest, CellSizeChangeRemakesAtTheNextDrawing) {
    PictureSource e = entry("a.jpg");
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    const CellGeometry larger{160, 150, 156, 120};
    // Without may-make the old thumbnail is dropped and nothing is drawn.
    EXPECT_FALSE(prepareCellThumbnail(e, larger, false, context()).exists);
    const CellThumbnail r = prepareCellThumbnail(e, larger, true, context());
    EXPECT_TRUE(r.made);
    EXPECT_EQ(e.boxWidth, 160);
    EXPECT_EQ(e.boxHeight, 150);
    EXPECT_EQ(e.thumbnail.width(), 156);
    EXPECT_EQ(e.thumbnail.height(), 117);
    // The stored record follows the new thumbnail.
    EXPECT_EQ(record("a.jpg")->i32(ThumbRecord::BoxWidth), 160);
    EXPECT_EQ(cache.findOpen(pictures.path().string())->recordCount(), 1u);
}

TEST_F(CellThumbnailTest, CachedThumbnailOfAnotherSizeIsTakenAsItIs) {
    PictureSource e = entry("a.jpg");
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    writeAndClose();
    // "Use stored information first": the stored thumbnail wins over the
    // new cell size, and the entry keeps it from then on.
    PictureSource again = entry("a.jpg");
    const CellGeometry larger{160, 150, 156, 120};
    const CellThumbnail r = prepareCellThumbnail(again, larger, true, context());
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(again.boxWidth, 160);
    EXPECT_EQ(again.thumbnail.width(), 106);
    EXPECT_FALSE(prepareCellThumbnail(again, larger, true, context()).isNew());
}

TEST_F(CellThumbnailTest, HigherScaleModeOrOtherUnsharpRemakes) {
    PictureSource e = entry("a.jpg");
    e.drawing.scaleMode = 3;
    e.drawing.unsharp = false;
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    EXPECT_EQ(e.scaleModeUsed, 3);
    EXPECT_FALSE(e.unsharpUsed);

    e.drawing.scaleMode = 1; // lower than the one used: kept
    EXPECT_FALSE(prepareCellThumbnail(e, kCell, true, context()).made);
    e.drawing.scaleMode = 10; // higher: made again
    EXPECT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    EXPECT_EQ(e.scaleModeUsed, 10);
    EXPECT_EQ(record("a.jpg")->i32(ThumbRecord::ScaleMode), 10);

    e.drawing.unsharp = true;
    EXPECT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    EXPECT_TRUE(e.unsharpUsed);
    EXPECT_EQ(record("a.jpg")->u32(ThumbRecord::Unsharp), 1u);
    EXPECT_EQ(loader.calls, 3);
}

TEST_F(CellThumbnailTest, RewrittenPictureGetsANewRecord) {
    PictureSource e = entry("a.jpg", "first");
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    writeAndClose();

    PictureSource rewritten = entry("a.jpg", "rewritten, longer");
    const CellThumbnail r = prepareCellThumbnail(rewritten, kCell, true, context());
    EXPECT_FALSE(r.loaded);
    EXPECT_TRUE(r.made);
    const std::optional<ThumbRecord> stored = record("a.jpg");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->u32(ThumbRecord::Length), std::string("rewritten, longer").size());
    EXPECT_EQ(cache.findOpen(pictures.path().string())->recordCount(), 1u);
}

TEST_F(CellThumbnailTest, DamagedStoredThumbnailIsMadeAgainAndReplaced) {
    PictureSource e = entry("a.jpg");
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context()).made);
    ThumbCacheFile& file = cache.findOrOpen(pictures.path().string());
    ThumbRecord damaged = *file.find("a.jpg", "");
    const std::vector<std::byte> garbage(64, std::byte{0x5A});
    damaged.setJpegData(garbage);
    file.put(std::move(damaged));
    writeAndClose();

    PictureSource again = entry("a.jpg");
    const CellThumbnail r = prepareCellThumbnail(again, kCell, true, context());
    EXPECT_FALSE(r.loaded);
    EXPECT_TRUE(r.made);
    writeAndClose();
    PictureSource third = entry("a.jpg");
    EXPECT_TRUE(prepareCellThumbnail(third, kCell, false, context()).loaded);
}

TEST_F(CellThumbnailTest, MakingReadsLengthAndTimesOfPlainFilesOnly) {
    PictureSource e = entry("a.jpg", "12345");
    e.length = 1;
    e.lastWriteTime = 7;
    ASSERT_TRUE(prepareCellThumbnail(e, kCell, true, context(false)).made);
    EXPECT_EQ(e.length, 5u);
    EXPECT_EQ(e.lastWriteTime, fileStatus(pictures.file("a.jpg"))->lastWriteTime);

    // A member's length is its own, not its archive's.
    PictureSource member = entry("pack.arc", "archive bytes");
    member.archiveFileName = "pack.arc";
    member.archiveDecoder = test::FakeScanServices::kArchiveId;
    member.fileName = "inner.jpg";
    member.length = 4096;
    member.lastWriteTime = 99;
    ASSERT_TRUE(prepareCellThumbnail(member, kCell, true, context()).made);
    EXPECT_EQ(member.length, 4096u);
    EXPECT_EQ(member.lastWriteTime, 99);
    const std::optional<ThumbRecord> stored =
        cache.findOpen(pictures.path().string())->find("inner.jpg", "pack.arc");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->u32(ThumbRecord::Length), 4096u);
}

TEST_F(CellThumbnailTest, UndecodablePictureHasNoThumbnailAndNothingStored) {
    PictureSource e = entry("bad.jpg");
    const CellThumbnail r = prepareCellThumbnail(e, kCell, true, context());
    EXPECT_FALSE(r.exists);
    EXPECT_FALSE(r.made);
    EXPECT_FALSE(e.madeNow);
    EXPECT_FALSE(record("bad.jpg"));

    // No maker: nothing is made even with may-make.
    PictureSource f = entry("c.jpg");
    const ThumbnailServices cacheOnly{cache, services, nullptr, true};
    EXPECT_FALSE(prepareCellThumbnail(f, kCell, true, cacheOnly).exists);
}

} // namespace
} // namespace vemra
