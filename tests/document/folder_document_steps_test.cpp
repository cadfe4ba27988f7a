// Thumbnails made in idle steps: the same result as in one call, and an
// unfinished one that outlives its entry is dropped safely.

#include "../imaging/test_support.h"
#include "document/picture_loader.h"
#include "document/thumb_cache.h"
#include "folder_document_test_support.h"
#include "imaging/decoder_registry.h"
#include "imaging/jpeg_encoder.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace vemra {
namespace {

constexpr CellGeometry kCell{110, 110, 106, 80};

bool always() {
    return true;
}

void writeJpeg(const std::string& path, int width, int height, bool progressive) {
    JpegOptions options;
    options.progressive = progressive;
    std::vector<std::byte> bytes;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(width, height, 24), options, bytes));
    test::writeFile(path, bytes);
}

bool samePixels(const PictureBuffer& a, const PictureBuffer& b) {
    const auto x = a.pixels();
    const auto y = b.pixels();
    return a.width() == b.width() && a.height() == b.height() && a.bitCount() == b.bitCount() &&
           std::equal(x.begin(), x.end(), y.begin(), y.end());
}

class DocStepsTest : public ::testing::Test, protected test::DocFixture {
protected:
    SettingsStore store{dir.file("settings.ini")};
    DecoderRegistry registry{store};
    RegistryPictureLoader loader{registry};

    DocStepsTest() {
        registry.setWriteBack(false);
        cache.closeAll();
        doc.setPictureLoader(&loader);
    }
    ~DocStepsTest() override {
        doc.setPictureLoader(nullptr);
        cache.closeAll();
    }
    void open() { doc.openFolder(folder(), nullptr, false); }
    int positionOf(const std::string& name) {
        for (int i = 0; i < doc.displayedCount(); ++i) {
            if (doc.entryAt(i)->fileName == name)
                return i;
        }
        return -1;
    }
    // Steps until done, asking to stop after every band; the step count.
    int stepUntilDone(int position, CellThumbnail& outcome, const CellGeometry& cell = kCell) {
        for (int steps = 1; steps < 100000; ++steps) {
            if (const auto made = doc.prepareThumbnailStep(position, cell, always)) {
                outcome = *made;
                return steps;
            }
        }
        ADD_FAILURE() << "never finished";
        return 0;
    }
};

TEST_F(DocStepsTest, SteppedThumbnailsEqualTheOneCallOnesForEveryKindOfFile) {
    writeJpeg(dir.file("big.jpg"), 1400, 1000, false);
    writeJpeg(dir.file("progressive.jpg"), 1200, 900, true);
    writeJpeg(dir.file("small.jpg"), 50, 40, false);
    test::writeFile(dir.file("broken.jpg"), test::bytes({0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3}));
    std::filesystem::copy_file(std::string(VEMRA_SOURCE_DIR) + "/samples/colour-wheel.png",
                               dir.file("wheel.png"));
    open();
    ASSERT_EQ(doc.displayedCount(), 5);
    for (const char* name :
         {"big.jpg", "progressive.jpg", "small.jpg", "broken.jpg", "wheel.png"}) {
        SCOPED_TRACE(name);
        const int position = positionOf(name);
        const PictureSource before = *doc.entryAt(position);
        CellThumbnail stepped;
        const int steps = stepUntilDone(position, stepped);
        const bool large =
            std::string_view(name) == "big.jpg" || std::string_view(name) == "progressive.jpg";
        if (large) {
            EXPECT_GT(steps, 3);
        }
        EXPECT_EQ(doc.thumbnailStepPosition(), -1);
        PictureSource steppedEntry = *doc.entryAt(position);

        // The same entry made again in one call.
        *doc.entryAt(position) = before;
        const CellThumbnail once = doc.prepareThumbnail(position, kCell, true);
        const PictureSource& onceEntry = *doc.entryAt(position);
        EXPECT_EQ(stepped.made, once.made);
        EXPECT_EQ(stepped.exists, once.exists);
        EXPECT_EQ(steppedEntry.madeNow, onceEntry.madeNow);
        EXPECT_EQ(steppedEntry.decoder, onceEntry.decoder);
        EXPECT_EQ(steppedEntry.pictureWidth, onceEntry.pictureWidth);
        EXPECT_EQ(steppedEntry.pictureHeight, onceEntry.pictureHeight);
        EXPECT_EQ(steppedEntry.bitCount, onceEntry.bitCount);
        EXPECT_EQ(steppedEntry.infoText, onceEntry.infoText);
        EXPECT_EQ(steppedEntry.boxWidth, onceEntry.boxWidth);
        EXPECT_EQ(steppedEntry.scaleModeUsed, onceEntry.scaleModeUsed);
        EXPECT_EQ(steppedEntry.unsharpUsed, onceEntry.unsharpUsed);
        EXPECT_TRUE(samePixels(steppedEntry.thumbnail, onceEntry.thumbnail));
    }
    EXPECT_FALSE(doc.entryAt(positionOf("broken.jpg"))->thumbnail);
    EXPECT_TRUE(doc.entryAt(positionOf("wheel.png"))->thumbnail);
}

TEST_F(DocStepsTest, AnUnfinishedThumbnailIsDroppedWhenItsEntryGoesOrChanges) {
    writeJpeg(dir.file("a.jpg"), 1400, 1000, false);
    writeJpeg(dir.file("b.jpg"), 1400, 1000, true);
    open();
    const int a = positionOf("a.jpg");
    const int b = positionOf("b.jpg");
    ASSERT_FALSE(doc.prepareThumbnailStep(a, kCell, always));
    EXPECT_EQ(doc.thumbnailStepPosition(), a);

    // Clearing the document frees the entry; the job goes with it.
    doc.clear(true);
    EXPECT_EQ(doc.thumbnailStepPosition(), -1);
    EXPECT_TRUE(doc.prepareThumbnailStep(a, kCell, always)); // nothing there: done
    open();

    // A rescan puts new entries at the old positions.
    ASSERT_FALSE(doc.prepareThumbnailStep(a, kCell, always));
    doc.refresh(false);
    ASSERT_EQ(doc.displayedCount(), 2);
    CellThumbnail outcome;
    stepUntilDone(a, outcome);
    EXPECT_TRUE(outcome.made);

    // Another file at the job's position (an entry before it was removed,
    // or the list sorted): that file's own picture is made.
    writeJpeg(dir.file("c.jpg"), 800, 600, false);
    doc.refresh(false);
    ASSERT_EQ(positionOf("c.jpg"), 2);
    ASSERT_FALSE(doc.prepareThumbnailStep(b, kCell, always));
    doc.removeEntry(a);
    ASSERT_EQ(positionOf("c.jpg"), b);
    stepUntilDone(b, outcome);
    EXPECT_TRUE(outcome.made);
    EXPECT_EQ(doc.entryAt(b)->fileName, "c.jpg");
    EXPECT_EQ(doc.entryAt(b)->pictureWidth, 800);
    const int bNow = positionOf("b.jpg");
    EXPECT_FALSE(doc.entryAt(bNow)->thumbnail);

    // A changed cell starts over; another entry's decode replaces the job,
    // one that needs none keeps it.
    ASSERT_FALSE(doc.prepareThumbnailStep(bNow, kCell, always));
    const CellGeometry larger{150, 150, 146, 120};
    ASSERT_FALSE(doc.prepareThumbnailStep(bNow, larger, always));
    EXPECT_EQ(doc.thumbnailStepPosition(), bNow);
    // c.jpg's thumbnail is outdated for the larger cell: its decode takes over.
    ASSERT_FALSE(doc.prepareThumbnailStep(b, larger, always));
    EXPECT_EQ(doc.thumbnailStepPosition(), b);
    stepUntilDone(b, outcome, larger);
    ASSERT_FALSE(doc.prepareThumbnailStep(bNow, larger, always));
    ASSERT_TRUE(doc.prepareThumbnailStep(b, larger, always)); // nothing to make
    EXPECT_EQ(doc.thumbnailStepPosition(), bNow);
    stepUntilDone(bNow, outcome, larger);
    EXPECT_EQ(doc.entryAt(bNow)->thumbnail.width(), 146);
    doc.dropThumbnailStep();
    EXPECT_EQ(doc.thumbnailStepPosition(), -1);
}

} // namespace
} // namespace vemra
