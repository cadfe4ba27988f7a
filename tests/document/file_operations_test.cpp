#include "document/file_operations.h"

#include "document/archive_extraction.h"
#include "document/picture_notes.h"
#include "document/transfer_data.h"
#include "fake_picture_loader.h"
#include "folder_document_test_support.h"
#include "transfer_test_support.h"

#include <QMimeData>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::contentOf;
using test::namesIn;
using test::ScriptedQuestions;

// Unpacks a member as the text "<archive>|<name>|<position>"; delivers
// nothing for names with "broken" in them.
class UnpackingLoader : public test::FakePictureLoader {
public:
    int extractMember(const PictureSource& entry, std::vector<std::byte>& out) override {
        const std::string text = entry.archiveFileName + "|" + entry.fileName + "|" +
                                 std::to_string(entry.memberPosition);
        if (text.find("broken") != std::string::npos)
            return 2;
        out.resize(text.size());
        std::memcpy(out.data(), text.data(), text.size());
        return 0;
    }
};

class FileOperationsTest : public ::testing::Test {
protected:
    FileOperationsTest() {
        f.doc.options().archive = true;
        f.doc.setPictureLoader(&loader);
    }
    void open() { f.doc.openFolder(f.folder(), nullptr, false); }
    std::vector<int> positionsOf(const std::vector<std::string>& names) {
        std::vector<int> positions;
        for (int i = 0; i < f.doc.displayedCount(); ++i) {
            for (const std::string& name : names) {
                if (f.doc.entryAt(i)->fileName == name)
                    positions.push_back(i);
            }
        }
        return positions;
    }
    std::string path(const std::string& name) { return f.folder() + "/" + name; }

    test::DocFixture f;
    UnpackingLoader loader;
    test::TempDir out;
    ScriptedQuestions questions;
};

TEST_F(FileOperationsTest, MoveRemovesMovedEntriesAndKeepsSkippedOnes) {
    f.put("a.jpg", "A");
    f.put("b.jpg", "B");
    f.put("c.jpg", "C");
    test::putFile(out.file("b.jpg"), "there");
    open();
    f.view.hints.clear();
    questions.sameNameAnswers.push_back({true, SameNameAction::Skip, false, {}});
    EXPECT_EQ(moveEntries(f.doc, positionsOf({"a.jpg", "b.jpg"}), out.path().string(), false,
                          questions, nullptr),
              1);
    EXPECT_EQ(f.displayedSorted(), (std::vector<std::string>{"b.jpg", "c.jpg"}));
    EXPECT_EQ(f.view.numbers(), (std::vector<int>{hint::kEntryRemoved, hint::kRedrawAll}));
    EXPECT_EQ(contentOf(out.file("a.jpg")), "A");

    // Into the folder it is in already: nothing moves, nothing leaves.
    f.view.hints.clear();
    EXPECT_EQ(moveEntries(f.doc, positionsOf({"c.jpg"}), f.folder(), false, questions, nullptr), 0);
    EXPECT_EQ(f.displayed().size(), 2u);
    EXPECT_TRUE(f.view.hints.empty());
}

TEST_F(FileOperationsTest, CopyUnpacksMembersOfTheSameNameSeparatelyAndCleansUp) {
    f.put("a.jpg", "A");
    f.put("set.arc", "x/1.jpg 10 100\ny/1.jpg 10 100\nbroken.jpg 5 100\n");
    open();
    PictureSource* a = f.doc.entryAt(positionsOf({"a.jpg"})[0]);
    a->note = "note of a";
    a->noteLoaded = true;
    std::vector<int> all;
    for (int i = 0; i < f.doc.displayedCount(); ++i)
        all.push_back(i);
    // The second 1.jpg meets the first at the destination: numbered. The
    // work folder is made in a temporary folder of this test's own, so
    // copies running beside it elsewhere cannot be taken for this one's.
    test::TempDir temporary;
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("TMPDIR", temporary.path().c_str(), 1);
    questions.sameNameAnswers.push_back({true, SameNameAction::AutoNumber, true, {}});
    EXPECT_EQ(copyEntries(f.doc, all, out.path().string(), false, questions), 3);
    if (before != nullptr)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_EQ(namesIn(out.path().string()),
              (std::vector<std::string>{"1-2.jpg", "1.jpg", "_NOTE_.KPI", "a.jpg"}));
    EXPECT_EQ(contentOf(out.file("1.jpg")), "set.arc|x/1.jpg|0");
    EXPECT_EQ(contentOf(out.file("1-2.jpg")), "set.arc|y/1.jpg|100");
    EXPECT_EQ(noteOfFile(out.file("a.jpg"), {}), "note of a");
    // The work folder went with the copy.
    for (const auto& e : fs::directory_iterator(temporary.path()))
        ADD_FAILURE() << e.path();
}

TEST_F(FileOperationsTest, DeleteAsksThenRemovesFilesEntriesAndNotesLastToFirst) {
    f.put("a.jpg", "A");
    f.put("b.jpg", "B");
    f.put("keep.jpg", "K");
    open();
    PictureSource note;
    note.folder = f.folder();
    note.fileName = "a.jpg";
    note.note = "gone with it";
    ASSERT_TRUE(saveNote(note, {}));
    f.doc.options().trashCan = false;

    questions.confirmAnswer = false;
    EXPECT_EQ(deleteEntries(f.doc, positionsOf({"a.jpg", "b.jpg"}), questions, nullptr), 0);
    EXPECT_TRUE(fs::exists(path("a.jpg")));
    ASSERT_EQ(questions.confirmations.size(), 1u);
    EXPECT_EQ(questions.confirmations[0], "選択データを削除してもよろしいですか？");

    ScriptedQuestions yes;
    f.view.hints.clear();
    ::chmod(path("b.jpg").c_str(), 0444); // a read-only file goes too
    EXPECT_EQ(deleteEntries(f.doc, positionsOf({"a.jpg", "b.jpg"}), yes, nullptr), 2);
    EXPECT_EQ(yes.outcomes, (std::vector<std::string>{"deleted b.jpg", "deleted a.jpg"}));
    EXPECT_EQ(f.displayed(), std::vector<std::string>{"keep.jpg"});
    EXPECT_EQ(f.view.numbers(),
              (std::vector<int>{hint::kEntryRemoved, hint::kEntryRemoved, hint::kRedrawAll}));
    EXPECT_FALSE(fs::exists(path("_NOTE_.KPI")));

    // DELQA: no question.
    f.doc.options().delqa = true;
    ScriptedQuestions silent;
    EXPECT_EQ(deleteEntries(f.doc, positionsOf({"keep.jpg"}), silent, nullptr), 1);
    EXPECT_TRUE(silent.confirmations.empty());
}

TEST_F(FileOperationsTest, DeleteToTheTrashLeavesARestorableFile) {
    // The home trash of this test lives in its own data folder; a picture
    // on another file system than the home folder goes to that file
    // system's own trash folder instead, as the Trash specification says.
    // A fresh account has no data folder yet: the file must still reach
    // the trash below it, not "files" and "info" in the current folder.
    for (const bool dataFolderExists : {true, false}) {
        SCOPED_TRACE(dataFolderExists ? "data folder exists" : "no data folder yet");
        const std::string data = f.folder() + (dataFolderExists ? "/.data" : "/.fresh/share");
        if (dataFolderExists)
            fs::create_directories(data);
        const char* before = std::getenv("XDG_DATA_HOME");
        const std::string saved = before != nullptr ? before : "";
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const fs::path workFolder = fs::current_path();
        fs::current_path(f.folder());
        f.put("a.jpg", "A");
        std::string inTrash;
        const std::string error = moveToTrash(path("a.jpg"), &inTrash);
        fs::current_path(workFolder);
        if (before != nullptr)
            ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        ASSERT_EQ(error, "");
        EXPECT_FALSE(fs::exists(path("a.jpg")));
        EXPECT_FALSE(fs::exists(f.folder() + "/files"));
        EXPECT_EQ(contentOf(inTrash), "A");
        const fs::path trash = fs::path(inTrash).parent_path().parent_path();
        // Unless the picture's own volume has a trash of its own (".Trash-uid").
        if (trash.filename().string().rfind(".Trash", 0) != 0) {
            EXPECT_EQ(trash, fs::path(data) / "Trash");
        }
        const fs::path infoFile =
            trash / "info" / (fs::path(inTrash).filename().string() + ".trashinfo");
        const std::string info = contentOf(infoFile.string());
        std::error_code ignored;
        fs::remove(inTrash, ignored);
        fs::remove(infoFile, ignored);
        EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
        EXPECT_NE(info.find("Path="), std::string::npos);
        EXPECT_NE(info.find("a.jpg"), std::string::npos);
        EXPECT_NE(info.find("DeletionDate="), std::string::npos);
    }
}

TEST_F(FileOperationsTest, DroppedAndPastedFilesArriveWithTheirNotesThroughRealMimeData) {
    test::putFile(out.file("x.jpg"), "X");
    test::putFile(out.file("y.jpg"), "Y");
    f.put("here.jpg", "H");
    open();
    // What copy in another Vemra window puts on the clipboard.
    QMimeData data;
    data.setData(mime::kGnomeCopiedFiles,
                 gnomeCopiedFilesBytes(TransferKind::Cut, {out.file("x.jpg"), out.file("y.jpg")}));
    const std::vector<std::byte> notes = noteClipboardBytes({"ノート", ""});
    data.setData(mime::kNotes, QByteArray(reinterpret_cast<const char*>(notes.data()),
                                          static_cast<qsizetype>(notes.size())));
    const ClipboardFiles files = readClipboardFiles(data);
    ASSERT_TRUE(files.cut);
    EXPECT_EQ(transferDroppedFiles(f.doc, files, f.folder(), files.cut, questions), 2);
    EXPECT_EQ(f.displayedSorted(), (std::vector<std::string>{"here.jpg", "x.jpg", "y.jpg"}));
    EXPECT_FALSE(fs::exists(out.file("x.jpg")));
    EXPECT_EQ(noteOfFile(path("x.jpg"), {}), "ノート");

    // A file manager's plain URI list: copied, no notes known but the
    // source folder's.
    test::putFile(out.file("z.jpg"), "Z");
    PictureSource note;
    note.folder = out.path().string();
    note.fileName = "z.jpg";
    note.note = "from its folder";
    ASSERT_TRUE(saveNote(note, {}));
    QMimeData dropped;
    dropped.setData(mime::kUriList, uriListBytes({out.file("z.jpg")}));
    const ClipboardFiles plain = readClipboardFiles(dropped);
    EXPECT_EQ(transferDroppedFiles(f.doc, plain, f.folder(), false, questions), 1);
    EXPECT_TRUE(fs::exists(out.file("z.jpg")));
    EXPECT_EQ(noteOfFile(path("z.jpg"), {}), "from its folder");
    EXPECT_EQ(f.displayed().size(), 4u);
}

TEST_F(FileOperationsTest, ExtractionWritesMembersWithTheirTimesAndWholeArchives) {
    f.put("a.jpg", "A");
    f.put("one.arc", "p/1.jpg 10 1000000000\nq/1.jpg 10 1000000000\n");
    f.put("whole.arc", "a/2.jpg 10 1200000000\nb/2.jpg 10 1200000000\n");
    f.doc.options().archive = false; // archive files listed as plain files
    open();
    std::vector<int> all;
    for (int i = 0; i < f.doc.displayedCount(); ++i)
        all.push_back(i);
    EXPECT_EQ(extractEntries(f.doc, all, out.file("x"), questions), 0);
    struct stat status {};
    ASSERT_EQ(::stat(out.file("x/2.jpg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1200000000);
    EXPECT_EQ(status.st_atime, 1200000000);
    // Two members of one name end as one file: the later one.
    EXPECT_EQ(contentOf(out.file("x/2.jpg")), "whole.arc|b/2.jpg|100");
    EXPECT_FALSE(fs::exists(out.file("x/a.jpg")));
    EXPECT_TRUE(questions.reports.empty());

    f.doc.options().archive = true;
    open();
    all.clear();
    for (int i = 0; i < f.doc.displayedCount(); ++i)
        all.push_back(i);
    ScriptedQuestions members;
    EXPECT_EQ(extractEntries(f.doc, all, out.file("y"), members), 0);
    EXPECT_EQ(contentOf(out.file("y/1.jpg")), "one.arc|q/1.jpg|100");
    // "中止" during the first entry: it is finished, nothing after it.
    ScriptedQuestions stopping;
    stopping.cancelAfterAdvances = 1;
    EXPECT_EQ(extractEntries(f.doc, all, out.file("z"), stopping), 0);
    EXPECT_EQ(stopping.advances, 1);
    EXPECT_LE(namesIn(out.file("z")).size(), 1u);
}

TEST(ExtractionMessages, EveryCauseHasItsTextAndOthersNone) {
    EXPECT_EQ(extractionMessage(13), "[ﾃﾞｨｽｸ ﾌﾙ]　これ以上書き込むことができません");
    EXPECT_EQ(extractionMessage(-1), "ﾌｧｲﾙ操作に失敗");
    EXPECT_EQ(extractionMessage(1), "未定義ｴﾗｰ");
    EXPECT_EQ(extractionMessage(14), "ﾌｧｲﾙの終わりに到達");
    EXPECT_TRUE(extractionMessage(0).empty());
    EXPECT_TRUE(extractionMessage(15).empty());
    EXPECT_EQ(fileCauseOf(ENOSPC), 13);
    EXPECT_EQ(fileCauseOf(EACCES), 5);
    EXPECT_EQ(fileCauseOf(ENOENT), 2);
}

TEST(Extraction, AFullDiskStopsWithItsCauseAndAShortBlockIsNeverOverread) {
    test::TempDir dir;
    class Sized : public PictureLoader {
    public:
        std::size_t bytes = 0;
        int loadForThumbnail(PictureSource&, int, int, PictureBuffer&) override { return -1; }
        int extractMember(const PictureSource&, std::vector<std::byte>& out) override {
            out.assign(bytes, std::byte{'m'});
            return 0;
        }
    } loader;
    // The list says 100 bytes, the plug-in gives 10: 10 are written.
    loader.bytes = 10;
    MemberToExtract member{0, dir.file("a.arc"), "m", 0, 100, 0};
    EXPECT_EQ(extractMember(loader, member, dir.file("short")), 0);
    EXPECT_EQ(fs::file_size(dir.file("short")), 10u);
    // Given 50 for a listed 10 (more than 4 over): the block's size counts.
    loader.bytes = 50;
    member.size = 10;
    EXPECT_EQ(extractMember(loader, member, dir.file("long")), 0);
    EXPECT_EQ(fs::file_size(dir.file("long")), 50u);

    test::ScopedMount mount(dir.file("small"), "size=16k");
    if (!mount.mounted())
        GTEST_SKIP() << "a small file system cannot be mounted here";
    loader.bytes = 200000;
    member.size = 200000;
    EXPECT_EQ(extractMember(loader, member, dir.file("small/big")), file_cause::kDiskFull);
    EXPECT_EQ(namesIn(dir.file("small")), std::vector<std::string>{});
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// Many selected files leave the document together: the right entries go,
// the others keep their order, the selected count stays true, and the
// views hear of each removed position from the last to the first, then
// one RedrawAll. A stop part-way removes only what went.
TEST_F(FileOperationsTest, ManyFilesLeaveTheDocumentInOnePassWithTheirNotices) {
    constexpr int kFiles = 300;
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.jpg", i);
        names.push_back(name);
    }
    // Chosen: a run of 100, every seventh file and the last one.
    const auto chosen = [](int i) { return (i >= 40 && i < 140) || i % 7 == 3 || i == kFiles - 1; };
    const struct {
        const char* what;
        bool move;
        int stopAfter; // files done before "中止" (-1: none)
    } cases[] = {{"delete", false, -1}, {"move", true, -1}, {"delete, stopped", false, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : names) {
            if (!fs::exists(path(name)))
                f.put(name, name);
        }
        f.doc.openFolder(f.folder(), nullptr, false);
        f.doc.refresh(false);
        ASSERT_EQ(f.doc.displayedCount(), kFiles);
        std::vector<int> positions;
        for (int i = 0; i < kFiles; ++i) {
            if (chosen(i)) {
                positions.push_back(i);
                f.doc.setSelected(i, PictureSource::kSelected);
            }
        }
        f.doc.setSelected(0, PictureSource::kSelected); // selected, stays
        const int selectedBefore = f.doc.selectedCount(false);
        f.view.hints.clear();
        f.doc.options().trashCan = false;
        f.doc.options().delqa = true;
        ScriptedQuestions asked;
        asked.cancelAfterAdvances = c.stopAfter + 1;
        test::TempDir target;
        const int done =
            c.move ? moveEntries(f.doc, positions, target.path().string(), false, asked, nullptr)
                   : deleteEntries(f.doc, positions, asked, nullptr);
        // What went (deletes walk from the last, moves from the first).
        std::vector<int> gone;
        for (int i = 0; i < kFiles; ++i) {
            if (!fs::exists(path(names[static_cast<std::size_t>(i)])))
                gone.push_back(i);
        }
        EXPECT_EQ(done, static_cast<int>(gone.size()));
        if (c.stopAfter < 0) {
            EXPECT_EQ(gone, positions);
        } else {
            EXPECT_EQ(static_cast<int>(gone.size()), c.stopAfter);
        }
        std::vector<std::string> left;
        for (int i = 0; i < kFiles; ++i) {
            if (!std::binary_search(gone.begin(), gone.end(), i))
                left.push_back(names[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(f.displayed(), left);
        EXPECT_EQ(f.doc.selectedCount(false), selectedBefore - static_cast<int>(gone.size()));
        EXPECT_EQ(f.doc.selectedCount(false), f.doc.selectedCount(true));
        std::vector<UpdateHint> expected;
        for (auto it = gone.rbegin(); it != gone.rend(); ++it)
            expected.emplace_back(hint::EntryRemoved{*it});
        if (!gone.empty())
            expected.emplace_back(hint::RedrawAll{});
        EXPECT_EQ(f.view.hints, expected);
    }
}

} // namespace
} // namespace vemra
