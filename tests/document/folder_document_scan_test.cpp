#include "folder_document_test_support.h"

#include "platform/file_status.h"

#include <gtest/gtest.h>

#include <utime.h>

namespace vemra {
namespace {

using test::DocFixture;

class ScanTest : public ::testing::Test, public DocFixture {
protected:
    void openAll() {
        doc.options().pathMask = "*.*";
        doc.openFolder(folder(), nullptr, false);
    }
};

TEST_F(ScanTest, MasksDifferingInCaseListEachFileOnceAtItsFirstPlace) {
    put("a.jpg");
    put("B.JPG");
    put("c.png");
    put("d.gif");
    ScanRequest r;
    r.folder = folder();
    r.mask = "*.jpg;*.JPG,,*.png;";
    EXPECT_EQ(doc.scan(r), kScanComplete);
    auto names = displayed();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], "c.png"); // after both JPEG files, which the first mask found
    EXPECT_EQ(r.foundCount, 5);   // the second mask found the two JPEG files again

    r.mask = "";
    EXPECT_EQ(doc.scan(r), kScanComplete);
    EXPECT_EQ(doc.displayedCount(), 0);
    r.useMask = false; // every file
    doc.scan(r);
    EXPECT_EQ(doc.displayedCount(), 4);
}

TEST_F(ScanTest, EmptyPathMaskListsEverythingButTheProgramsOwnFiles) {
    put("a.jpg");
    put("README");
    put("DIRINFO.KPI", "[Document]\n");
    put("_thumbs_.kpi");
    put("_NOTE_.KPI");
    put("sub/b.jpg");
    doc.options().pathMask = "";
    doc.openFolder(folder(), &view, false);
    EXPECT_EQ(doc.currentMask(), "*.*");
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"README", "a.jpg"}));
    // The sender is not told; a second view is.
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(ScanTest, DateAndSizeFilters) {
    put("old.jpg", "12345");
    put("new.jpg", "1");
    put("mid.jpg", "1234");
    utimbuf old{1'000'000, 1'000'000};
    ASSERT_EQ(utime((dir.path() / "old.jpg").c_str(), &old), 0);
    ScanRequest r;
    r.folder = folder();
    r.dateFilter = true;
    r.dateFrom = 500'000;
    r.dateTo = 2'000'000;
    doc.scan(r);
    EXPECT_EQ(displayed(), (std::vector<std::string>{"old.jpg"}));

    r.dateFilter = false;
    r.sizeFilter = true;
    r.sizeMinimum = 2;
    r.sizeMaximum = 4;
    doc.scan(r);
    EXPECT_EQ(displayed(), (std::vector<std::string>{"mid.jpg"}));
}

TEST_F(ScanTest, ArchivesListTheirMembersAndUnreadableOnesAreLeftOut) {
    put("set.arc", "x.jpg 10 500\ny.png 20 600\n");
    put("broken.arc", "BROKEN\n");
    put("empty.arc", "");
    put("a.jpg");
    ScanRequest r;
    r.folder = folder();
    r.archives = true;
    EXPECT_EQ(doc.scan(r), kScanComplete);
    EXPECT_EQ(displayedSorted(),
              (std::vector<std::string>{"a.jpg", "empty.arc", "x.jpg", "y.png"}));
    for (int i = 0; i < doc.displayedCount(); ++i) {
        const PictureSource& e = *doc.entryAt(i);
        if (e.fileName != "y.png")
            continue;
        EXPECT_EQ(e.archiveFileName, "set.arc");
        EXPECT_EQ(e.archiveDecoder, test::FakeScanServices::kArchiveId);
        EXPECT_EQ(e.length, 20u);
        EXPECT_EQ(e.lastWriteTime, 600);
        EXPECT_EQ(e.creationTime, 600);
        EXPECT_EQ(e.memberPosition, 100);
        EXPECT_EQ(e.archiveFullPath(), folder() + "/set.arc");
    }
}

TEST_F(ScanTest, ArchiveFileOpenedAsAFolderListsOnlyItsMembers) {
    put("set.arc", "x.jpg 10 500\ny.png 20 600\n");
    put("other.jpg");
    put("sub/z.jpg");
    doc.options().downScan = true;
    doc.options().archive = false;
    doc.openFolder(folder() + "/set.arc", nullptr, false);
    EXPECT_EQ(doc.currentFolder(), folder());
    EXPECT_EQ(doc.currentMask(), "set.arc");
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"x.jpg", "y.png"}));
    doc.refresh(false);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"x.jpg", "y.png"}));

    // A name with "," and ";" is one file, not a list of masks.
    put("a,b;c.arc", "z.jpg 1 1\n");
    doc.openFolder(folder() + "/a,b;c.arc", nullptr, false);
    EXPECT_EQ(displayed(), (std::vector<std::string>{"z.jpg"}));
}

TEST_F(ScanTest, SubFoldersDepthFirstWithoutFollowingLinksInCircles) {
    put("a.jpg");
    put("s1/b.jpg");
    put("s1/t/c.jpg");
    put("s2/d.jpg");
    std::filesystem::create_directory_symlink(dir.path(), dir.path() / "s1" / "t" / "loop");
    ScanRequest r;
    r.folder = folder();
    r.subFolders = true;
    EXPECT_EQ(doc.scan(r), kScanComplete);
    auto names = displayed();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "a.jpg"); // the folder's own files first
    auto b = std::find(names.begin(), names.end(), "b.jpg");
    ASSERT_NE(b, names.end());
    EXPECT_EQ(*(b + 1), "c.jpg"); // the sub-folder of s1 before anything else
    EXPECT_EQ(doc.entryAt(static_cast<int>(b - names.begin()) + 1)->folder, folder() + "/s1/t");
}

TEST_F(ScanTest, ScanSpiKeepsOnlyIdentifiedEntriesAndReportsThem) {
    put("a.jpg");
    put("empty.jpg", "");
    put("notes.txt");
    put("set.arc", "m.jpg 1 1\nm.gif 1 1\nm.png 1 1\n");
    doc.options().scanSpi = true;
    doc.options().syncFind = true;
    ScanRequest r;
    r.folder = folder();
    r.archives = true;
    doc.scan(r);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"a.jpg", "m.jpg", "m.png"}));
    EXPECT_EQ(doc.entryCount(), 3);
    std::vector<int> positions;
    for (const UpdateHint& h : view.hints)
        if (const auto* accepted = std::get_if<hint::EntryAccepted>(&h))
            positions.push_back(accepted->position);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2}));

    // With the extension filter too, names outside the picture decoders'
    // patterns are not even offered for identification.
    put("set.arc", "m.jpg 1 1\nm.gif 1 1\n");
    services.extensionOnly = true;
    services.identifyCalls = 0;
    doc.scan(r);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"a.jpg", "m.jpg"}));
    EXPECT_EQ(services.identifyCalls, 2); // a.jpg and m.jpg; not notes.txt, m.gif or the empty file
}

TEST_F(ScanTest, ExtensionFilterWithoutIdentification) {
    put("a.JPG");
    put("README");
    put("x.txt");
    put("set.arc", "m.jpg 1 1\nm.gif 1 1\n");
    services.extensionOnly = true;
    ScanRequest r;
    r.folder = folder();
    doc.scan(r);
    EXPECT_EQ(displayed(), (std::vector<std::string>{"a.JPG"}));
    EXPECT_EQ(services.identifyCalls, 0);
    r.archives = true;
    doc.scan(r);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"a.JPG", "m.jpg"}));

    // A decoder that takes every name ("*.*") is offered the names without
    // an extension too, as the registry itself would ask it.
    services.pictureMasks = "*.jpg; *.*";
    r.archives = false;
    doc.scan(r);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"README", "a.JPG", "set.arc", "x.txt"}));
    // Masks typed with blanks after the separators.
    r.mask = "*.jpg, readme; *.zip";
    doc.scan(r);
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"README", "a.JPG"}));
}

TEST_F(ScanTest, InterruptionLeavesTheDocumentEmpty) {
    for (int i = 0; i < 5; ++i)
        put("p" + std::to_string(i) + ".jpg");
    int asked = 0;
    doc.setInterruptionCheck([&] { return ++asked >= 3; });
    removed.clear();
    openAll();
    EXPECT_EQ(doc.displayedCount(), 0);
    EXPECT_EQ(doc.entryCount(), 0);
    EXPECT_EQ(view.numbers(), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(removed.size(), 3u); // the entries made before the stop were destroyed

    // A scan that is not interruptible ignores the check.
    ScanRequest r;
    r.folder = folder();
    r.interruptible = false;
    EXPECT_EQ(doc.scan(r), kScanComplete);
    EXPECT_EQ(doc.displayedCount(), 5);
}

TEST_F(ScanTest, RefreshKeepsUnchangedEntriesAndClearsChangedOnes) {
    put("same.jpg", "aaaa");
    put("changed.jpg", "bbbb");
    put("gone.jpg");
    openAll();
    ASSERT_EQ(doc.displayedCount(), 3);
    for (int i = 0; i < 3; ++i) {
        PictureSource* e = doc.entryAt(i);
        e->thumbnail = test::patternPicture(4, 4, 24);
        e->decoder = kJpegDecoderId;
        e->state = PictureSource::kSelected;
    }
    const PictureSource* sameBefore = nullptr;
    for (int i = 0; i < 3; ++i)
        if (doc.entryAt(i)->fileName == "same.jpg")
            sameBefore = doc.entryAt(i);
    put("changed.jpg", "bbbbbbbb");
    std::filesystem::remove(dir.path() / "gone.jpg");
    put("new.jpg");
    removed.clear();
    view.hints.clear();

    doc.refresh(true);
    EXPECT_EQ(view.numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"changed.jpg", "new.jpg", "same.jpg"}));
    EXPECT_EQ(removed, (std::vector<std::string>{"gone.jpg"}));
    EXPECT_EQ(doc.selectedCount(false), 2); // recounted: the two reused entries
    for (int i = 0; i < doc.displayedCount(); ++i) {
        const PictureSource& e = *doc.entryAt(i);
        if (e.fileName == "same.jpg") {
            EXPECT_EQ(&e, sameBefore); // the very entry, thumbnail and all
            EXPECT_TRUE(e.thumbnail);
            EXPECT_EQ(e.decoder, kJpegDecoderId);
        } else if (e.fileName == "changed.jpg") {
            EXPECT_FALSE(e.thumbnail);
            EXPECT_EQ(e.decoder, kNoDecoder);
            EXPECT_EQ(e.length, 8u);
        } else {
            EXPECT_FALSE(e.useCacheFirst); // a refresh does not look in the cache first
        }
    }
    // Refresh of another folder does nothing.
    view.hints.clear();
    doc.refreshIfCurrent(folder() + "/elsewhere");
    EXPECT_TRUE(view.hints.empty());
    doc.refreshIfCurrent(folder());
    EXPECT_EQ(view.numbers(), (std::vector<int>{1, 2}));
}

TEST_F(ScanTest, RefreshReusesUnchangedArchiveMembers) {
    put("set.arc", "x.jpg 10 500\ny.png 20 600\n");
    doc.options().archive = true;
    openAll();
    ASSERT_EQ(doc.displayedCount(), 2);
    PictureSource* x = nullptr;
    for (int i = 0; i < 2; ++i) {
        doc.entryAt(i)->thumbnail = test::patternPicture(2, 2, 24);
        if (doc.entryAt(i)->fileName == "x.jpg")
            x = doc.entryAt(i);
    }
    put("set.arc", "x.jpg 10 500\ny.png 21 600\n"); // y changed size
    doc.refresh(false);
    ASSERT_EQ(doc.displayedCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const PictureSource* e = doc.entryAt(i);
        if (e->fileName == "x.jpg") {
            EXPECT_EQ(e, x);
            EXPECT_TRUE(e->thumbnail);
        } else {
            EXPECT_FALSE(e->thumbnail);
            EXPECT_EQ(e->length, 21u);
        }
    }
}

TEST_F(ScanTest, FolderInformationEntriesAreListedOnce) {
    put("a.jpg");
    put("b.jpg");
    put("th.dat", "thumbnail data");
    const auto t = fileStatus(dir.file("a.jpg"))->lastWriteTime;
    put("DIRINFO.KPI", "[Document]\nMaxCount=1\nDataVersion=2\nDocSize=150,120\nThumbsFile=th.dat\n"
                       "[1]\nSPIName=JPEG\nFileName=a.jpg\nLength=4\nWidth=640\nLastWriteTime=" +
                           std::to_string(t) + "\n");
    doc.openFolder(folder(), nullptr, true);
    auto names = displayed();
    ASSERT_EQ(names, (std::vector<std::string>{"a.jpg", "b.jpg"})); // stored entries come first
    EXPECT_EQ(doc.entryAt(0)->pictureWidth, 640);
    EXPECT_EQ(doc.entryAt(0)->decoder, kJpegDecoderId);
    EXPECT_TRUE(doc.entryAt(1)->useCacheFirst);
    EXPECT_EQ(doc.thumbnailSize(), (IntPair{150, 120}));

    // A stored archive member is found again by the archive listing.
    put("set.arc", "x.jpg 10 500\ny.png 20 600\n");
    const auto tArc = fileStatus(dir.file("set.arc"))->lastWriteTime;
    put("DIRINFO.KPI",
        "[Document]\nMaxCount=1\n[1]\nSPIName=PNG\nFileName=y.png\nArchiveSPIName=ARCSPI\n"
        "ArchiveFileName=set.arc\nPosition=100\nLength=20\nLastWriteTime=600\nWidth=7\n"
        "ArchiveLastWriteTime=" +
            std::to_string(tArc) + "\n");
    doc.options().archive = true;
    doc.openFolder(folder() + "/", nullptr, true);
    EXPECT_EQ(displayedSorted(),
              (std::vector<std::string>{"a.jpg", "b.jpg", "th.dat", "x.jpg", "y.png"}));
    EXPECT_EQ(doc.entryAt(0)->fileName, "y.png");
    EXPECT_EQ(doc.entryAt(0)->pictureWidth, 7);
    doc.options().archive = false;

    // Without stored information the file is just enumerated.
    doc.openFolder(folder(), nullptr, false);
    EXPECT_EQ(doc.entryAt(0)->pictureWidth + doc.entryAt(1)->pictureWidth, 0);
}

} // namespace
} // namespace vemra
