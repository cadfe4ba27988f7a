#include "document/note_changes.h"

#include "document/file_operations.h"
#include "document/picture_notes.h"
#include "document/rename_entry.h"
#include "document/serial_rename.h"
#include "document/transfer_files.h"
#include "folder_document_test_support.h"
#include "transfer_test_support.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::ScriptedQuestions;

std::string nameOf(int i) {
    return "p" + std::to_string(i) + ".jpg";
}

std::string noteFor(int i) {
    return "note of " + std::to_string(i) + "\r\n二行目";
}

// `count` pictures in `folder`, each with its own note, written as single
// notes are.
void putPicturesWithNotes(const std::string& folder, int count, const std::string& central) {
    for (int i = 0; i < count; ++i) {
        test::putFile(folder + "/" + nameOf(i), nameOf(i));
        PictureSource entry;
        entry.folder = folder;
        entry.fileName = nameOf(i);
        entry.note = noteFor(i);
        ASSERT_TRUE(saveNote(entry, central));
    }
}

// Moves of many files that end in every way a move can end: each picture's
// note is where the picture is and nowhere else, in both folders, with the
// notes in the folders and in the central store.
TEST(NoteChanges, NotesFollowTheirFilesHoweverAMoveOfManyEnds) {
    constexpr int kCount = 12;
    constexpr int kFailing = 5; // the target of this one is a folder
    const struct Case {
        const char* what;
        bool central;
        int cancelAt;       // the advance at which "中止" is pressed (0: never)
        bool failOne;       // moving p5 fails
        ErrorChoice choice; // what the user answers to that failure
    } cases[] = {
        {"all moved", false, 0, false, ErrorChoice::Ignore},
        {"all moved, central store", true, 0, false, ErrorChoice::Ignore},
        {"stopped at the 7th file", false, 7, false, ErrorChoice::Ignore},
        {"stopped at the 4th file, central store", true, 4, false, ErrorChoice::Ignore},
        {"one failure, the rest goes on", false, 0, true, ErrorChoice::Ignore},
        {"one failure ends the move", true, 0, true, ErrorChoice::Abort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string central = c.central ? dir.file("central") : std::string();
        if (c.central)
            fs::create_directories(central);
        const std::string from = dir.file("from");
        const std::string to = dir.file("to");
        putPicturesWithNotes(from, kCount, central);
        // A note standing at the destination under a name that arrives is
        // replaced; one under another name stays.
        putPicturesWithNotes(to, 1, central);
        test::putFile(to + "/other.jpg", "other");
        PictureSource other;
        other.folder = to;
        other.fileName = "other.jpg";
        other.note = "stays";
        ASSERT_TRUE(saveNote(other, central));
        if (c.failOne)
            fs::create_directories(to + "/" + nameOf(kFailing) + "/inside");

        ScriptedQuestions questions;
        questions.cancelAfterAdvances = c.cancelAt;
        questions.errorChoice = c.choice;
        // p0 is there already, and p5 too when it fails: replaced.
        questions.sameNameAnswers.push_back({true, SameNameAction::Overwrite, true, {}});
        TransferOptions options;
        options.move = true;
        options.centralFolder = central;
        std::vector<TransferRecord> list;
        for (int i = 0; i < kCount; ++i)
            list.push_back({from + "/" + nameOf(i), std::nullopt, {}});
        const int moved = FileTransfer(options, questions).transferFiles(to, list);

        int arrived = 0;
        for (int i = 0; i < kCount; ++i) {
            SCOPED_TRACE(nameOf(i));
            const bool there = fs::is_regular_file(to + "/" + nameOf(i));
            const bool here = fs::exists(from + "/" + nameOf(i));
            ASSERT_NE(there, here);
            arrived += there ? 1 : 0;
            EXPECT_EQ(noteOfFile((there ? to : from) + "/" + nameOf(i), central), noteFor(i));
            if (here)
                EXPECT_EQ(noteOfFile(to + "/" + nameOf(i), central), "");
            else
                EXPECT_EQ(noteOfFile(from + "/" + nameOf(i), central), "");
        }
        EXPECT_EQ(arrived, moved);
        EXPECT_EQ(noteOfFile(to + "/other.jpg", central), "stays");
        const int expected = c.cancelAt > 0                   ? c.cancelAt - 1
                             : !c.failOne                     ? kCount
                             : c.choice == ErrorChoice::Abort ? kFailing
                                                              : kCount - 1;
        EXPECT_EQ(moved, expected);
    }
}

// A destination whose note file takes no writing: the pictures move, and
// their notes stay where they were rather than being lost.
TEST(NoteChanges, ANoteTheDestinationRefusesStaysWithTheSource) {
    test::TempDir dir;
    const std::string from = dir.file("from");
    const std::string to = dir.file("to");
    putPicturesWithNotes(from, 3, {});
    putPicturesWithNotes(to, 1, {}); // p0 there; its note file is read-only
    fs::remove(to + "/" + nameOf(0));
    ASSERT_EQ(::chmod((to + "/_NOTE_.KPI").c_str(), 0444), 0);
    ScriptedQuestions questions;
    TransferOptions options;
    options.move = true;
    std::vector<TransferRecord> list;
    for (int i = 1; i < 3; ++i)
        list.push_back({from + "/" + nameOf(i), std::nullopt, {}});
    EXPECT_EQ(FileTransfer(options, questions).transferFiles(to, list), 2);
    for (int i = 1; i < 3; ++i) {
        EXPECT_TRUE(fs::exists(to + "/" + nameOf(i)));
        EXPECT_EQ(noteOfFile(from + "/" + nameOf(i), {}), noteFor(i));
    }
    EXPECT_EQ(noteOfFile(from + "/" + nameOf(0), {}), noteFor(0));

    // Refused only when written (its folder went meanwhile): the notes
    // carried there go back.
    const std::string central = dir.file("central");
    fs::create_directories(central);
    const std::string third = dir.file("third");
    test::putFile(third + "/keep.jpg", "k");
    PictureSource keep;
    keep.folder = third;
    keep.fileName = "keep.jpg";
    keep.note = "kept";
    ASSERT_TRUE(saveNote(keep, central)); // a numbered file in `central`
    {
        NoteChanges notes(central);
        notes.carryNote(notePlaceOfFile(from + "/p1.jpg"), notePlaceOfFile(third + "/p1.jpg"),
                        noteFor(1));
        EXPECT_EQ(notes.noteOf(notePlaceOfFile(from + "/p1.jpg")), "");
        fs::remove_all(central);
        EXPECT_FALSE(notes.write());
    }
    EXPECT_EQ(noteOfFile(from + "/p1.jpg", {}), noteFor(1));
}

// Changes made through two spellings of one folder reach one file; a name
// freed by one change and taken by the next gets the right note; a note
// file left without notes goes.
TEST(NoteChanges, OneFileForEverySpellingAndChangesInTheirOrder) {
    test::TempDir dir;
    const std::string folder = dir.file("pics");
    putPicturesWithNotes(folder, 3, {});
    fs::create_directory_symlink(folder, dir.file("link"));
    {
        NoteChanges notes({});
        notes.carryNote({folder, ":p0.jpg"}, {folder, ":x.jpg"}, noteFor(0));
        notes.carryNote({dir.file("link"), ":p1.jpg"}, {folder, ":p0.jpg"}, noteFor(1));
        EXPECT_EQ(notes.noteOf({dir.file("link"), ":P0.JPG"}), noteFor(1));
        EXPECT_TRUE(notes.setNote({folder + "/.", ":p2.jpg"}, "new"));
        // Nothing written yet.
        EXPECT_EQ(noteOfFile(folder + "/x.jpg", {}), "");
        EXPECT_TRUE(notes.write());
    }
    EXPECT_EQ(noteOfFile(folder + "/x.jpg", {}), noteFor(0));
    EXPECT_EQ(noteOfFile(folder + "/p0.jpg", {}), noteFor(1));
    EXPECT_EQ(noteOfFile(folder + "/p1.jpg", {}), "");
    EXPECT_EQ(noteOfFile(folder + "/p2.jpg", {}), "new");
    {
        NoteChanges notes({});
        for (const char* name : {":x.jpg", ":p0.jpg", ":p2.jpg"})
            notes.removeNote({folder, name});
    } // written when it goes
    EXPECT_FALSE(fs::exists(folder + "/_NOTE_.KPI"));
}

class ManyFilesTest : public ::testing::Test {
protected:
    int positionOf(const std::string& name) {
        for (int i = 0; i < f.doc.displayedCount(); ++i) {
            if (f.doc.entryAt(i)->fileName == name)
                return i;
        }
        return -1;
    }
    std::string central() const { return f.doc.options().centralCacheFolder(); }
    test::DocFixture f;
};

// A serial rename whose new names include names that earlier renames of
// the same run freed: each note goes with its picture.
TEST_F(ManyFilesTest, SerialRenameOfManyCarriesEveryNote) {
    // "3.jpg" is taken: that rename fails and its picture keeps its note.
    putPicturesWithNotes(f.folder(), 4, central());
    test::putFile(f.folder() + "/3.jpg", "taken");
    f.doc.openFolder(f.folder(), nullptr, false);
    std::vector<int> positions;
    for (int i = 0; i < 4; ++i)
        positions.push_back(positionOf(nameOf(i)));
    SerialNamer namer("##.jpg", 0);
    const SerialRenameResult result = serialRenameEntries(f.doc, positions, namer, nullptr);
    EXPECT_EQ(result.renamed, 3);
    ASSERT_EQ(result.failures.size(), 1u); // p3 -> 3.jpg is taken
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(noteOfFile(f.folder() + "/" + std::to_string(i) + ".jpg", central()), noteFor(i));
    EXPECT_EQ(noteOfFile(f.folder() + "/p3.jpg", central()), noteFor(3));
    EXPECT_EQ(noteOfFile(f.folder() + "/3.jpg", central()), "");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(noteOfFile(f.folder() + "/" + nameOf(i), central()), "");

    // A chain: each takes the name the one before just freed.
    PictureSource first;
    first.folder = f.folder();
    first.fileName = "0.jpg";
    PictureSource second = first;
    second.fileName = "1.jpg";
    NoteChanges notes(central());
    EXPECT_EQ(renamePictureFile(first, "z.jpg", notes), 0);
    EXPECT_EQ(renamePictureFile(second, "0.jpg", notes), 0);
    EXPECT_TRUE(notes.write());
    EXPECT_EQ(noteOfFile(f.folder() + "/z.jpg", central()), noteFor(0));
    EXPECT_EQ(noteOfFile(f.folder() + "/0.jpg", central()), noteFor(1));
    EXPECT_EQ(noteOfFile(f.folder() + "/1.jpg", central()), "");
}

// A delete of many stopped part-way: the deleted pictures' notes are gone,
// the others keep theirs.
TEST_F(ManyFilesTest, DeleteStoppedPartWayKeepsTheNotesOfWhatStays) {
    constexpr int kCount = 10;
    putPicturesWithNotes(f.folder(), kCount, central());
    f.doc.openFolder(f.folder(), nullptr, false);
    f.doc.options().trashCan = false;
    f.doc.options().delqa = true;
    std::vector<int> positions;
    for (int i = 0; i < kCount; ++i)
        positions.push_back(i);
    ScriptedQuestions questions;
    questions.cancelAfterAdvances = 5; // four deleted, from the last
    EXPECT_EQ(deleteEntries(f.doc, positions, questions, nullptr), 4);
    int kept = 0;
    for (int i = 0; i < kCount; ++i) {
        const std::string path = f.folder() + "/" + nameOf(i);
        EXPECT_EQ(noteOfFile(path, central()), fs::exists(path) ? noteFor(i) : "") << path;
        kept += fs::exists(path) ? 1 : 0;
    }
    EXPECT_EQ(kept, kCount - 4);
}

} // namespace
} // namespace vemra
