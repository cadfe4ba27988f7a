#include "document/picture_notes.h"
#include "document/thumb_cache.h"
#include "fake_picture_loader.h"
#include "folder_document_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

constexpr CellGeometry kCell{110, 110, 106, 80};

// Counts the steps and asks to stop once `stopAfter` were shown.
class StoppingProgress : public ProgressSink {
public:
    explicit StoppingProgress(int stopAfter) : m_stopAfter(stopAfter) {}
    int steps = 0;
    int total = -1;
    bool ended = false;
    void begin(std::string_view, std::string_view, int n) override { total = n; }
    void setMessage(std::string_view) override {}
    void advance() override { ++steps; }
    bool cancelRequested() override { return steps >= m_stopAfter; }
    void end() override { ended = true; }

private:
    int m_stopAfter;
};

class DocThumbsTest : public ::testing::Test, protected test::DocFixture {
protected:
    test::FakePictureLoader loader;

    DocThumbsTest() {
        cache.closeAll();
        doc.setPictureLoader(&loader);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            put(name);
    }
    ~DocThumbsTest() override {
        doc.setPictureLoader(nullptr);
        cache.closeAll();
    }

    std::string cacheFile() const { return dir.file("_THUMBS_.KPI"); }
    std::size_t storedCount() {
        ThumbCacheFile file(folder(), cacheFile());
        file.load();
        return file.recordCount();
    }
    void makeAll() {
        for (int i = 0; i < doc.displayedCount(); ++i)
            ASSERT_TRUE(doc.prepareThumbnail(i, kCell, true).made);
    }
};

TEST_F(DocThumbsTest, SaveThumbnailsStoresUnsavedOnesAndCanBeStopped) {
    doc.openFolder(folder(), nullptr, false);
    ASSERT_EQ(doc.displayedCount(), 4);
    EXPECT_TRUE(doc.commandState(FolderDocument::kCmdSaveThumbnails)->enabled);
    makeAll(); // CacheFolder is off: nothing stored yet
    EXPECT_FALSE(doc.entryAt(0)->cached);

    StoppingProgress stop(2);
    EXPECT_FALSE(doc.saveThumbnails(&stop));
    EXPECT_EQ(stop.total, 4);
    EXPECT_TRUE(stop.ended);
    // What was stored before the stop is written.
    EXPECT_EQ(storedCount(), 2u);

    StoppingProgress never(100);
    EXPECT_TRUE(doc.saveThumbnails(&never));
    EXPECT_EQ(storedCount(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(doc.entryAt(i)->cached);
}

TEST_F(DocThumbsTest, SaveCommandIsEnabledWithEntriesAndUsesTheProgressSink) {
    EXPECT_FALSE(doc.commandState(FolderDocument::kCmdSaveThumbnails)->enabled);
    doc.openFolder(folder(), nullptr, false);
    makeAll();
    StoppingProgress never(100);
    doc.setProgressSink(&never);
    EXPECT_TRUE(doc.onCommand(FolderDocument::kCmdSaveThumbnails));
    doc.setProgressSink(nullptr);
    EXPECT_EQ(never.steps, 4);
    EXPECT_EQ(storedCount(), 4u);
}

TEST_F(DocThumbsTest, ClearingWritesTheCacheOnlyWithAutoCacheFolder) {
    doc.openFolder(folder(), nullptr, false);
    makeAll();
    doc.clear(true);
    EXPECT_FALSE(std::filesystem::exists(cacheFile()));

    doc.options().autoCacheFolder = true;
    doc.openFolder(folder(), nullptr, false);
    makeAll();
    doc.clear(true);
    EXPECT_EQ(storedCount(), 4u);
    EXPECT_TRUE(cache.files().empty());

    // Opened with the cache first, everything comes from the file.
    loader.calls = 0;
    doc.openFolder(folder(), nullptr, true);
    for (int i = 0; i < doc.displayedCount(); ++i) {
        const CellThumbnail r = doc.prepareThumbnail(i, kCell, true);
        EXPECT_TRUE(r.loaded);
        EXPECT_FALSE(r.made);
    }
    EXPECT_EQ(loader.calls, 0);
}

TEST_F(DocThumbsTest, CacheFolderStoresAtOnceAndRemovedEntriesLoseTheirRecords) {
    doc.options().cacheFolder = true;
    doc.openFolder(folder(), nullptr, true);
    makeAll();
    ThumbCacheFile* open = cache.findOpen(folder());
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->recordCount(), 4u);
    const std::string name = doc.entryAt(1)->fileName;
    doc.removeEntry(1);
    EXPECT_EQ(open->recordCount(), 3u);
    EXPECT_FALSE(open->contains(name, ""));
    // Out of range: nothing.
    EXPECT_FALSE(doc.prepareThumbnail(9, kCell, true).exists);
}

TEST_F(DocThumbsTest, NotesAreLoadedWhenAnEntryIsFirstDrawn) {
    PictureSource noted;
    noted.folder = folder();
    noted.fileName = "b.jpg";
    noted.note = "first line\r\nsecond";
    ASSERT_TRUE(saveNote(noted, ""));
    doc.openFolder(folder(), nullptr, false);
    int b = -1;
    for (int i = 0; i < doc.displayedCount(); ++i)
        if (doc.entryAt(i)->fileName == "b.jpg")
            b = i;
    ASSERT_GE(b, 0);
    EXPECT_FALSE(doc.entryAt(b)->noteLoaded);
    doc.prepareThumbnail(b, kCell, false);
    EXPECT_TRUE(doc.entryAt(b)->noteLoaded);
    EXPECT_EQ(doc.entryAt(b)->note, "first line\r\nsecond");
}

TEST_F(DocThumbsTest, CentralCacheFolderFollowsTheOptions) {
    test::TempDir central;
    doc.options().cacheDataFolder = central.path().string();
    doc.options().cacheFolder = true;
    doc.openFolder(folder(), nullptr, true);
    makeAll();
    EXPECT_EQ(cache.centralFolder(), central.path().string());
    ASSERT_TRUE(doc.saveThumbnails(nullptr));
    EXPECT_TRUE(std::filesystem::exists(central.file("00000000.kpt")));
    EXPECT_FALSE(std::filesystem::exists(cacheFile()));
    doc.options().cacheDataFolder.clear();
    doc.prepareThumbnail(0, kCell, false);
    EXPECT_EQ(cache.centralFolder(), "");
}

} // namespace
} // namespace vemra
