#include "document/transfer_files.h"

#include "../imaging/test_support.h"
#include "document/picture_notes.h"
#include "document/same_name_rule.h"
#include "platform/file_transfer.h"
#include "transfer_test_support.h"

#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::contentOf;
using test::namesIn;
using test::putFile;
using test::ScriptedQuestions;

void setTime(const std::string& path, std::int64_t seconds) {
    const struct utimbuf times { static_cast<time_t>(seconds), static_cast<time_t>(seconds) };
    ::utime(path.c_str(), &times);
}

std::string noteAt(const std::string& path) {
    return noteOfFile(path, {});
}

void putNote(const std::string& path, const std::string& note) {
    PictureSource entry;
    entry.folder = fs::path(path).parent_path().string();
    entry.fileName = fs::path(path).filename().string();
    entry.note = note;
    ASSERT_TRUE(saveNote(entry, {}));
}

class FileTransferTest : public ::testing::Test {
protected:
    std::string src(const std::string& name) const { return dir.file("src/" + name); }
    std::string dst(const std::string& name) const { return dir.file("dst/" + name); }
    int copy(const std::vector<std::string>& names, TransferOptions options = {}) {
        std::vector<TransferRecord> list;
        for (const std::string& name : names)
            list.push_back({src(name), std::nullopt, {}});
        return FileTransfer(options, questions).transferFiles(dir.file("dst"), list);
    }

    test::TempDir dir;
    ScriptedQuestions questions;
};

// Every same-name action against an existing target: whether the source
// replaces it, and where it goes.
TEST_F(FileTransferTest, SameNameActionsDecideByDateSizeAndName) {
    struct Case {
        SameNameAction action;
        std::int64_t sourceTime, targetTime;
        std::string source, target;
        std::vector<std::string> extra; // other files already at the destination
        std::string expectFile;         // where the source's bytes end up; empty: skipped
    };
    const Case cases[] = {
        {SameNameAction::NewerOnly, 2000, 1000, "new", "old", {}, "a.jpg"},
        {SameNameAction::NewerOnly, 1000, 1000, "new", "old", {}, ""},
        {SameNameAction::NewerOnly, 500, 1000, "new", "old", {}, ""},
        {SameNameAction::Overwrite, 500, 1000, "new", "old", {}, "a.jpg"},
        {SameNameAction::Skip, 2000, 1000, "new", "old", {}, ""},
        {SameNameAction::Larger, 1000, 1000, "bigger", "old", {}, "a.jpg"},
        {SameNameAction::Larger, 1000, 1000, "new", "old", {}, ""},
        {SameNameAction::Larger, 1000, 1000, "a", "old", {}, ""},
        {SameNameAction::AutoNumber, 1000, 1000, "new", "old", {"a-2.jpg"}, "a-3.jpg"},
        {SameNameAction::AutoNumber, 1000, 1000, "new", "old", {}, "a-2.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        test::TempDir here;
        putFile(here.file("src/a.jpg"), c.source);
        putFile(here.file("dst/a.jpg"), c.target);
        for (const std::string& name : c.extra)
            putFile(here.file("dst/" + name), "x");
        setTime(here.file("src/a.jpg"), c.sourceTime);
        setTime(here.file("dst/a.jpg"), c.targetTime);
        ScriptedQuestions asked;
        asked.sameNameAnswers.push_back({true, c.action, false, here.file("dst/a.jpg")});
        const int count = FileTransfer({}, asked).transferFiles(
            here.file("dst"), {{here.file("src/a.jpg"), std::nullopt, {}}});
        EXPECT_EQ(asked.sameNameAsked, 1);
        EXPECT_EQ(count, c.expectFile.empty() ? 0 : 1);
        if (!c.expectFile.empty()) {
            EXPECT_EQ(contentOf(here.file("dst/" + c.expectFile)), c.source);
        }
        if (c.expectFile != "a.jpg") {
            EXPECT_EQ(contentOf(here.file("dst/a.jpg")), c.target);
        }
        EXPECT_EQ(contentOf(here.file("src/a.jpg")), c.source);
    }
}

TEST_F(FileTransferTest, ApplyToAllWithSkipAsksOnceAndRenameAsksAgainWhileTaken) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        putFile(src(name), "new");
        putFile(dst(name), "old");
    }
    questions.sameNameAnswers.push_back({true, SameNameAction::Skip, true, {}});
    EXPECT_EQ(copy({"a.jpg", "b.jpg", "c.jpg"}), 0);
    EXPECT_EQ(questions.sameNameAsked, 1);
    EXPECT_EQ(contentOf(dst("b.jpg")), "old");

    // A typed name that exists too is asked for again; a bare name stays in
    // the destination.
    ScriptedQuestions renaming;
    renaming.sameNameAnswers.push_back({true, SameNameAction::Rename, false, "b.jpg"});
    renaming.sameNameAnswers.push_back({true, SameNameAction::Rename, false, dst("sub/z.jpg")});
    EXPECT_EQ(FileTransfer({}, renaming).transferFiles(dir.file("dst"), {{src("a.jpg"), {}, {}}}),
              1);
    EXPECT_EQ(renaming.sameNameAsked, 2);
    EXPECT_EQ(contentOf(dst("sub/z.jpg")), "new");
    EXPECT_EQ(contentOf(dst("b.jpg")), "old");

    // Cancelling the question stops everything after it.
    ScriptedQuestions cancelling;
    EXPECT_EQ(FileTransfer({}, cancelling)
                  .transferFiles(dir.file("dst"), {{src("a.jpg"), {}, {}}, {src("b.jpg"), {}, {}}}),
              0);
    EXPECT_EQ(cancelling.sameNameAsked, 1);
}

TEST_F(FileTransferTest, NothingMovesOntoItselfAndTheCopyOptionNeedsAnExistingTarget) {
    putFile(src("a.jpg"), "A");
    TransferOptions move;
    move.move = true;
    EXPECT_EQ(
        FileTransfer(move, questions).transferFiles(dir.file("src"), {{src("a.jpg"), {}, {}}}), 0);
    EXPECT_EQ(contentOf(src("a.jpg")), "A");
    EXPECT_EQ(questions.sameNameAsked, 0);

    TransferOptions onlyExisting;
    onlyExisting.onlyExisting = true;
    fs::create_directories(dir.file("dst"));
    EXPECT_EQ(copy({"a.jpg"}, onlyExisting), 0);
    EXPECT_EQ(namesIn(dir.file("dst")), std::vector<std::string>{});
}

TEST_F(FileTransferTest, FoldersAreCopiedWholeButNeverIntoThemselves) {
    putFile(src("album/1.jpg"), "1");
    putFile(src("album/deep/2.jpg"), "2");
    // Into its own sub-folder: passed over.
    EXPECT_EQ(
        FileTransfer({}, questions).transferFiles(src("album/deep"), {{src("album"), {}, {}}}), 0);
    EXPECT_EQ(questions.outcomes, std::vector<std::string>{"passed-over album"});
    // A folder named like the start of the other is not inside it.
    putFile(src("albumX/3.jpg"), "3");
    TransferOptions move;
    move.move = true;
    ScriptedQuestions moving;
    EXPECT_EQ(FileTransfer(move, moving).transferFiles(src("albumX"), {{src("album"), {}, {}}}), 4);
    EXPECT_EQ(contentOf(src("albumX/album/deep/2.jpg")), "2");
    EXPECT_FALSE(fs::exists(src("album")));
    EXPECT_EQ(moving.progressTotal, 3);
}

TEST_F(FileTransferTest, NotesFollowCopiesAndMovesAndAreClearedWhereThePictureHasNone) {
    putFile(src("a.jpg"), "A");
    putFile(src("b.jpg"), "B");
    putFile(dst("b.jpg"), "old B");
    putNote(src("a.jpg"), "海\r\n二行目");
    putNote(dst("b.jpg"), "stale");
    questions.sameNameAnswers.push_back({true, SameNameAction::Overwrite, true, {}});
    EXPECT_EQ(copy({"a.jpg", "b.jpg"}), 2);
    EXPECT_EQ(noteAt(dst("a.jpg")), "海\r\n二行目");
    EXPECT_EQ(noteAt(src("a.jpg")), "海\r\n二行目");
    EXPECT_EQ(noteAt(dst("b.jpg")), "");

    // A move takes the note along; a given note wins over the stored one.
    TransferOptions move;
    move.move = true;
    ScriptedQuestions moving;
    EXPECT_EQ(FileTransfer(move, moving)
                  .transferFiles(dir.file("moved"), {{src("a.jpg"), std::nullopt, {}},
                                                     {src("b.jpg"), std::string("given"), {}}}),
              2);
    EXPECT_EQ(moving.confirmations.size(), 1u); // the missing folder was asked for
    EXPECT_EQ(noteAt(dir.file("moved/a.jpg")), "海\r\n二行目");
    EXPECT_EQ(noteAt(dir.file("moved/b.jpg")), "given");
    EXPECT_EQ(noteAt(src("a.jpg")), "");
}

TEST_F(FileTransferTest, ADeclinedOrImpossibleDestinationTransfersNothing) {
    putFile(src("a.jpg"), "A");
    questions.confirmAnswer = false;
    EXPECT_EQ(copy({"a.jpg"}), 0);
    EXPECT_FALSE(fs::exists(dir.file("dst")));
    putFile(dir.file("file"), "x");
    ScriptedQuestions asked;
    EXPECT_EQ(FileTransfer({}, asked).transferFiles(dir.file("file/sub"), {{src("a.jpg"), {}, {}}}),
              0);
    ASSERT_EQ(asked.reports.size(), 1u);
    EXPECT_NE(asked.reports[0].find(dir.file("file/sub")), std::string::npos);
}

TEST(AutoNumberedName, FillsOnlyTheThreePlacesOfTheFormat) {
    EXPECT_EQ(autoNumberedName("%s-%d%s", "/p/a", 3, ".jpg"), "/p/a-3.jpg");
    EXPECT_EQ(autoNumberedName("%s (%d)%s", "/p/a", 2, ".jpg"), "/p/a (2).jpg");
    EXPECT_EQ(autoNumberedName("%s_%d%%%s", "/p/a%d", 2, ""), "/p/a%d_2%");
    // Anything else falls back to the default instead of reaching printf.
    for (const char* hostile : {"%s%n%s", "%s-%d", "%d%s%s", "%s%s%s%s", "%s-%d%s%", "%x"})
        EXPECT_EQ(autoNumberedName(hostile, "/p/a", 2, ".jpg"), "/p/a-2.jpg") << hostile;
    EXPECT_EQ(sameNameActionFrom(7, SameNameAction::Overwrite), SameNameAction::Overwrite);
    EXPECT_EQ(sameNameActionFrom(4, SameNameAction::Overwrite), SameNameAction::AutoNumber);
}

TEST(FolderPaths, InsideMeansWholePathComponents) {
    EXPECT_TRUE(isInsideFolder("/a/b/c", "/a/b"));
    EXPECT_TRUE(isInsideFolder("/a/b", "/a/b/"));
    EXPECT_FALSE(isInsideFolder("/a/bc", "/a/b"));
    EXPECT_TRUE(isInsideFolder("/x", "/"));
    EXPECT_EQ(joinPath("/", "a"), "/a");
    EXPECT_EQ(absoluteFolder("/a/./b/../c/"), "/a/c");
    EXPECT_FALSE(absoluteFolder(""));
}

// --- never lose a file

TEST_F(FileTransferTest, AFullDiskLeavesNoPartialTargetAndTheSourceUntouched) {
    const std::string small = dir.file("small");
    test::ScopedMount mount(small, "size=64k");
    if (!mount.mounted())
        GTEST_SKIP() << "a small file system cannot be mounted here";
    putFile(src("big.jpg"), std::string(256 * 1024, 'b'));
    putFile(small + "/big.jpg", "the old one");
    questions.sameNameAnswers.push_back({true, SameNameAction::Overwrite, false, {}});
    EXPECT_EQ(FileTransfer({}, questions).transferFiles(small, {{src("big.jpg"), {}, {}}}), 0);
    ASSERT_EQ(questions.errors.size(), 1u);
    EXPECT_EQ(contentOf(small + "/big.jpg"), "the old one");
    EXPECT_EQ(namesIn(small), std::vector<std::string>{"big.jpg"}); // no temporary left
    EXPECT_EQ(fs::file_size(src("big.jpg")), 256u * 1024u);

    // A move across file systems that cannot finish keeps its source.
    TransferOptions move;
    move.move = true;
    ScriptedQuestions moving;
    moving.errorChoice = ErrorChoice::Abort;
    putFile(src("next.jpg"), "never reached");
    EXPECT_EQ(
        FileTransfer(move, moving)
            .transferFiles(small + "/in", {{src("big.jpg"), {}, {}}, {src("next.jpg"), {}, {}}}),
        0);
    EXPECT_EQ(fs::file_size(src("big.jpg")), 256u * 1024u);
    EXPECT_TRUE(fs::exists(src("next.jpg")));
    EXPECT_EQ(namesIn(small + "/in"), std::vector<std::string>{});
}

TEST_F(FileTransferTest, AMoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    const std::string other = dir.file("other");
    test::ScopedMount mount(other, "size=1m");
    if (!mount.mounted())
        GTEST_SKIP() << "a second file system cannot be mounted here";
    putFile(src("a.jpg"), "A");
    setTime(src("a.jpg"), 1234567890);
    TransferOptions move;
    move.move = true;
    EXPECT_EQ(FileTransfer(move, questions).transferFiles(other, {{src("a.jpg"), {}, {}}}), 1);
    EXPECT_FALSE(fs::exists(src("a.jpg")));
    EXPECT_EQ(contentOf(other + "/a.jpg"), "A");
    struct stat status {};
    ASSERT_EQ(::stat((other + "/a.jpg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1234567890);
}

TEST_F(FileTransferTest, AReadOnlyDestinationRefusesWithoutHarmAndRetryIsOffered) {
    const std::string locked = dir.file("locked");
    test::ScopedMount mount(locked, "size=1m");
    if (mount.mounted()) {
        putFile(locked + "/a.jpg", "kept");
        ASSERT_TRUE(mount.makeReadOnly());
    } else if (::geteuid() != 0) {
        putFile(locked + "/a.jpg", "kept");
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        GTEST_SKIP() << "no read-only folder can be made here";
    }
    putFile(src("a.jpg"), "new");
    putFile(src("b.jpg"), "B");
    questions.sameNameAnswers.push_back({true, SameNameAction::Overwrite, true, {}});
    questions.errorChoice = ErrorChoice::Retry;
    EXPECT_EQ(FileTransfer({}, questions)
                  .transferFiles(locked, {{src("a.jpg"), {}, {}}, {src("b.jpg"), {}, {}}}),
              0);
    EXPECT_EQ(questions.errors.size(), 3u); // a.jpg twice (retried), then b.jpg
    EXPECT_EQ(contentOf(locked + "/a.jpg"), "kept");
    EXPECT_EQ(namesIn(locked), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(contentOf(src("a.jpg")), "new");
    std::error_code ignored;
    fs::permissions(locked, fs::perms::owner_all, ignored);
}

TEST(SafeFileCopy, KeepsModeAndTimesAndCopiesLinksAsLinks) {
    test::TempDir dir;
    putFile(dir.file("a"), "bytes");
    ::chmod(dir.file("a").c_str(), 0640);
    setTime(dir.file("a"), 1000000000);
    ASSERT_FALSE(copyFileSafely(dir.file("a"), dir.file("b")));
    struct stat status {};
    ASSERT_EQ(::stat(dir.file("b").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(status.st_mtime, 1000000000);
    fs::create_symlink("a", dir.file("link"));
    ASSERT_FALSE(copyFileSafely(dir.file("link"), dir.file("link2")));
    EXPECT_TRUE(fs::is_symlink(dir.file("link2")));
    EXPECT_TRUE(isSameFile(dir.file("link"), dir.file("a")));
    EXPECT_TRUE(copyFileSafely(dir.file("missing"), dir.file("c")));
    EXPECT_FALSE(fs::exists(dir.file("c")));
}

} // namespace
} // namespace vemra
