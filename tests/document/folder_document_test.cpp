#include "folder_document_test_support.h"

#include "settings/settings_store.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

using test::DocFixture;

class DocTest : public ::testing::Test, public DocFixture {
protected:
    void SetUp() override {
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            put(name, name);
        doc.openFolder(folder(), nullptr, false);
        ASSERT_EQ(doc.displayedCount(), 4);
        view.hints.clear();
    }
};

TEST_F(DocTest, OpeningSendsHintsWithTheFolderAndKeepsHistory) {
    put("sub/e.jpg");
    const std::string sub = folder() + "/sub";
    doc.openFolder(sub, nullptr, false);
    ASSERT_EQ(view.hints.size(), 2u);
    // Still the old folder when emptied.
    EXPECT_EQ(view.hints[0], UpdateHint(hint::ListEmptied{folder()}));
    EXPECT_EQ(view.hints[1], UpdateHint(hint::ScanFinished{sub}));
    EXPECT_EQ(doc.title(), sub + "/*.*");

    // The same folder and mask again: only a redraw.
    view.hints.clear();
    doc.openFolder(sub + "/*.*", nullptr, false);
    EXPECT_EQ(view.numbers(), (std::vector<int>{hint::kRedrawAll}));

    ASSERT_EQ(doc.history().size(), 2u);
    ASSERT_TRUE(doc.canGoBack());
    EXPECT_FALSE(doc.canGoForward());
    view.hints.clear();
    doc.options().pathMask = "*.png";
    doc.historyBack();
    ASSERT_EQ(view.numbers(), (std::vector<int>{hint::kSelectFolder}));
    EXPECT_EQ(view.hints[0], UpdateHint(hint::SelectFolder{folder()}));
    EXPECT_EQ(doc.options().pathMask, "*.*");
    EXPECT_TRUE(doc.canGoForward());
    // The tree answers SelectFolder by opening the folder; that is no new history.
    doc.openFolder(folder(), nullptr, false);
    EXPECT_EQ(doc.history().size(), 2u);
    EXPECT_EQ(doc.historyPosition(), 1); // an ordinary open appends after the position
}

TEST_F(DocTest, SelectAllSelectsWithOneSelectedAndDeselectsWithTwo) {
    doc.setSelected(1, PictureSource::kSelected);
    EXPECT_EQ(doc.selectedCount(false), 1);
    doc.selectAll();
    EXPECT_EQ(doc.selectedCount(false), 4);
    // One notice for the three that changed, however many they are.
    EXPECT_EQ(view.hints, std::vector<UpdateHint>{hint::AllSelection{}});
    view.hints.clear();
    doc.setSelected(3, 0);
    doc.selectAll(); // three selected: deselect them
    EXPECT_EQ(doc.selectedCount(true), 0);
    EXPECT_EQ(view.hints, std::vector<UpdateHint>{hint::AllSelection{}});
    EXPECT_EQ(doc.setSelected(9, PictureSource::kSelected), nullptr);
}

TEST_F(DocTest, FocusMovesWithHints) {
    doc.setFocus(0);
    doc.setFocus(2);
    doc.setFocus(2);
    doc.setFocus(-1);
    ASSERT_EQ(view.hints.size(), 4u);
    EXPECT_EQ(view.hints,
              (std::vector<UpdateHint>{hint::FocusChanged{true, 0}, hint::FocusChanged{false, 0},
                                       hint::FocusChanged{true, 2}, hint::FocusChanged{false, 2}}));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(doc.entryAt(i)->isFocused());
    // After a sort moved the focused entry away, the flag is still found.
    doc.setFocus(1);
    const int a = doc.entryIndexAt(1), b = doc.entryIndexAt(3);
    doc.setEntryIndexAt(1, b);
    doc.setEntryIndexAt(3, a);
    doc.setFocus(0);
    EXPECT_FALSE(doc.entryAt(3)->isFocused());
    EXPECT_TRUE(doc.entryAt(0)->isFocused());
}

TEST_F(DocTest, RemovingEntriesKeepsCountsAndTheHandOutCacheHonest) {
    doc.setSelected(0, PictureSource::kSelected);
    const PictureSource* third = doc.entryAt(2);
    const PictureSource* fourth = doc.entryAt(3);
    removed.clear();
    const std::string firstName = doc.entryAt(0)->fileName;
    doc.removeEntry(0);
    EXPECT_EQ(doc.displayedCount(), 3);
    EXPECT_EQ(doc.entryCount(), 4); // the object stays until the next clear
    EXPECT_EQ(doc.selectedCount(false), 0);
    EXPECT_EQ(removed, (std::vector<std::string>{firstName}));
    EXPECT_EQ(doc.entryAt(2), fourth); // not the stale cached third
    EXPECT_EQ(doc.entryAt(1), third);
    doc.removeEntry(7);
    EXPECT_EQ(doc.displayedCount(), 3);
    EXPECT_EQ(doc.entryAt(3), nullptr);
    EXPECT_EQ(doc.entryIndexAt(-1), -1);
}

TEST_F(DocTest, HitTestUsesPlacedCells) {
    doc.setThumbnailSize({100, 80});
    doc.entryAt(1)->cellX = 0;
    doc.entryAt(1)->cellY = 0;
    doc.entryAt(2)->cellX = 100;
    doc.entryAt(2)->cellY = 0;
    EXPECT_EQ(doc.hitTest(5, 5), 1); // entry 0 is not placed yet
    EXPECT_EQ(doc.hitTest(150, 79), 2);
    EXPECT_EQ(doc.hitTest(150, 80), -1);
}

TEST_F(DocTest, RemakeThumbnailsForgetsPicturesAndRedraws) {
    doc.entryAt(0)->thumbnail = test::patternPicture(4, 4, 24);
    doc.entryAt(0)->useCacheFirst = true;
    doc.options().scaleMode = 4;
    doc.remakeThumbnails();
    EXPECT_FALSE(doc.entryAt(0)->thumbnail);
    EXPECT_FALSE(doc.entryAt(0)->useCacheFirst);
    EXPECT_EQ(doc.entryAt(0)->drawing.scaleMode, 4);
    EXPECT_EQ(view.numbers(), (std::vector<int>{hint::kRedrawAll}));
}

TEST_F(DocTest, StatusSummaryTexts) {
    doc.setSelected(0, PictureSource::kSelected);
    auto texts = doc.statusSummary();
    EXPECT_EQ(texts[0], "選択 1 ﾌｧｲﾙ(5.0B)");
    EXPECT_EQ(texts[1], "全 4 ﾌｧｲﾙ(20.0B)");
    EXPECT_NE(texts[2].find(" 空 "), std::string::npos);
    EXPECT_NE(texts[2].find(" / 全 "), std::string::npos);
    EXPECT_NE(texts[2].find('['), std::string::npos);
}

TEST_F(DocTest, OpenDocumentPathFindsTheNearestFolder) {
    put("deep/x.jpg");
    doc.openDocumentPath(folder() + "/deep/x.jpg");
    EXPECT_EQ(doc.currentFolder(), folder() + "/deep");
    EXPECT_EQ(doc.fileToShow(), folder() + "/deep/x.jpg");
    doc.clearFileToShow();
    doc.openDocumentPath(folder() + "/deep/missing/more/");
    EXPECT_EQ(doc.currentFolder(), folder() + "/deep");
    EXPECT_TRUE(doc.fileToShow().empty());
}

TEST_F(DocTest, ClearEmptiesWithOrWithoutDestroying) {
    removed.clear();
    doc.setSelected(0, PictureSource::kSelected);
    doc.clear(false);
    EXPECT_EQ(doc.displayedCount(), 0);
    EXPECT_EQ(doc.selectedCount(false), 0);
    EXPECT_TRUE(removed.empty());
    doc.refresh(false);
    doc.clear(true);
    EXPECT_EQ(removed.size(), 4u);
    EXPECT_FALSE(doc.isScanning());
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

class CommandTest : public ::testing::Test, public test::DocFixture {};

TEST_F(CommandTest, EnablingRulesAndToggles) {
    using S = FolderDocument::CommandState;
    // No folder yet: nothing is listed (not the working folder's files).
    doc.openFolder(std::nullopt, nullptr, false);
    EXPECT_EQ(doc.entryCount(), 0);
    EXPECT_EQ(doc.commandState(FolderDocument::kCmdSelectAll),
              (S{false, false})); // nothing displayed
    EXPECT_EQ(doc.commandState(FolderDocument::kCmdHistoryBack), (S{false, false}));
    EXPECT_FALSE(doc.commandState(57634)); // copy belongs to the grid
    EXPECT_FALSE(doc.onCommand(57634));

    put("a.jpg");
    put("sub/b.jpg");
    doc.openFolder(folder(), nullptr, false);
    EXPECT_EQ(doc.commandState(FolderDocument::kCmdSelectAll), (S{true, false}));
    EXPECT_EQ(doc.commandState(FolderDocument::kCmdDownScan), (S{true, false}));
    view.hints.clear();
    EXPECT_TRUE(doc.onCommand(FolderDocument::kCmdDownScan)); // toggles and refreshes
    EXPECT_EQ(doc.commandState(FolderDocument::kCmdDownScan), (S{true, true}));
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(view.numbers(), (std::vector<int>{hint::kListEmptied, hint::kScanFinished}));
    EXPECT_TRUE(doc.onCommand(FolderDocument::kCmdSelectAll));
    EXPECT_EQ(doc.selectedCount(false), 2);
    EXPECT_TRUE(doc.onCommand(FolderDocument::kCmdSynchronous));
    EXPECT_TRUE(doc.options().synchronous);
}

// The document writes its options back whenever it is emptied (before
// another folder opens, and when it goes), so an option changed in a session
// that later ends badly is not lost; no store, no writes.
TEST(DocumentOptionsWriteBack, WrittenWhenTheDocumentIsEmptied) {
    test::TempDir dir;
    SettingsStore store(dir.file("settings.ini"));
    test::FakeScanServices services;
    ThumbCache cache;
    {
        FolderDocument doc(services, cache);
        doc.options().scaleStep = 40;
        doc.openFolder(dir.path().string(), nullptr, false);
        EXPECT_FALSE(store.contains("KPDoc", "ScaleStep")); // not told where yet

        doc.setSettingsStore(&store);
        doc.options().scaleStep = 50;
        doc.openFolder(dir.path().string() + "/*.jpg", nullptr, false);
        EXPECT_EQ(store.getInt("KPDoc", "ScaleStep", 0), 50);

        // Unchanged options are not written again: a value another program
        // put in the file meanwhile stays.
        store.putInt("KPDoc", "DELQA", 1);
        doc.openFolder(dir.path().string(), nullptr, false);
        EXPECT_EQ(store.getInt("KPDoc", "DELQA", 0), 1);

        doc.options().pathMask = "*.png";
        doc.saveOptions(); // as an options dialog does on OK
        EXPECT_EQ(store.getText("KPDoc", "PathMask"), "*.png");
        doc.options().scaleStep = 60;
    }
    EXPECT_EQ(store.getInt("KPDoc", "ScaleStep", 0), 60);
    EXPECT_EQ(DocumentOptions::load(store).scaleStep, 60);
}

} // namespace
} // namespace vemra
