#include "document/picture_notes.h"
#include "document/rename_entry.h"
#include "document/serial_rename.h"
#include "document/transfer_files.h"
#include "folder_document_test_support.h"
#include "settings/settings_store.h"
#include "transfer_test_support.h"

#include <ctime>
#include <gtest/gtest.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;

PictureSource pictureNamed(const std::string& name, std::int64_t time = 0) {
    PictureSource entry;
    entry.folder = "/pictures";
    entry.fileName = name;
    entry.lastWriteTime = time;
    entry.pictureWidth = 640;
    entry.pictureHeight = 480;
    return entry;
}

// Local noon of a day, so the date does not depend on the time zone.
std::int64_t localNoon(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

TEST(SerialRename, NamesFollowNumberDateMacroAndExtensionFields) {
    const std::int64_t day = localNoon(2024, 3, 7);
    struct Case {
        const char* format;
        int first;
        std::vector<std::string> files;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"AAA#3#.JPG", 1, {"x.jpg", "y.jpg", "z.jpg"}, {"AAA001.JPG", "AAA002.JPG", "AAA003.JPG"}},
        {"IMG##.jpg", 9, {"a.jpg", "b.jpg"}, {"IMG9.jpg", "IMG10.jpg"}},
        // Macros go first, so the picture's own name follows the number.
        {"#2#-$(PicName)", 1, {"sea.jpg", "sky.png"}, {"01-sea.jpg", "02-sky.png"}},
        {"%Y%m%d_##.jpg", 1, {"a.jpg", "b.jpg"}, {"20240307_1.jpg", "20240307_2.jpg"}},
        {"JPG", 1, {"photo.jpeg", "noext"}, {"photo.JPG", "noext.JPG"}},
        // The width pads but never cuts.
        {"#1#", 98, {"a", "b", "c"}, {"98", "99", "100"}},
        {"$(W)x$(H)-##", 0, {"a.jpg"}, {"640x480-0"}},
    };
    for (const Case& c : cases) {
        SerialNamer namer(c.format, c.first);
        std::vector<std::string> names;
        for (const std::string& file : c.files)
            names.push_back(namer.nameFor(pictureNamed(file, day)));
        EXPECT_EQ(names, c.expected) << c.format;
    }
}

TEST(SerialRename, FormatNeedsNoneOrTwoHashesUnlessItHasADate) {
    EXPECT_TRUE(isSerialRenameFormatValid("AAA##.jpg"));
    EXPECT_TRUE(isSerialRenameFormatValid("JPG"));
    EXPECT_TRUE(isSerialRenameFormatValid("%Y#"));
    EXPECT_FALSE(isSerialRenameFormatValid("A#.jpg"));
    EXPECT_FALSE(isSerialRenameFormatValid("#1#2#"));
    // A name without the field keeps itself rather than the parts of the
    // name before it.
    SerialNamer namer("$(PicName)", 1);
    EXPECT_EQ(namer.nameFor(pictureNamed("a#1#b.jpg")), "a1b.jpg");
    EXPECT_EQ(namer.nameFor(pictureNamed("plain.jpg")), "plain.jpg");
}

TEST(SerialRename, OlderSettingsAreTakenOverOnceAndTheHistoryKeepsAHundred) {
    test::TempDir dir;
    SettingsStore store(dir.file("s.ini"));
    store.putText("Filer", "RenameFormat0", "NEW##");
    store.putInt("KPDoc", "First#", 42);
    store.putText("KPDoc", "RenameFormat", "ignored,OLD##,\"A,B##\"");
    SerialRenameSettings settings = SerialRenameSettings::load(store);
    EXPECT_EQ(settings.firstNumber, 42);
    EXPECT_EQ(settings.formats, (std::vector<std::string>{"NEW##", "OLD##", "A,B##"}));
    EXPECT_FALSE(store.contains("KPDoc", "First#"));
    EXPECT_FALSE(store.contains("KPDoc", "RenameFormat"));
    EXPECT_EQ(store.getInt("Filer", "RenameFirst#", 0), 42);

    for (int i = 0; i < 120; ++i)
        settings.accept(store, "F" + std::to_string(i) + "##", 7);
    settings.accept(store, "OLD##", 3);
    const SerialRenameSettings again = SerialRenameSettings::load(store);
    ASSERT_EQ(again.formats.size(), 100u);
    EXPECT_EQ(again.formats[0], "OLD##");
    EXPECT_EQ(again.formats[1], "F119##");
    EXPECT_EQ(again.firstNumber, 3);
}

class RenameEntryTest : public ::testing::Test {
protected:
    void open() { f.doc.openFolder(f.folder(), nullptr, false); }
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

TEST_F(RenameEntryTest, RefusesCaseOnlyTakenAndUnsafeNamesAndMovesTheNote) {
    f.put("a.jpg", "A");
    f.put("b.jpg", "B");
    open();
    PictureSource* a = f.doc.entryAt(positionOf("a.jpg"));
    a->note = "note of a";
    a->noteLoaded = true;
    ASSERT_TRUE(saveNote(*a, central()));

    for (const std::string refused : {"A.JPG", "a.jpg", "b.jpg", "../a2.jpg", "", ".."})
        EXPECT_EQ(renameEntry(f.doc, positionOf("a.jpg"), refused), -1) << refused;
    EXPECT_EQ(test::contentOf(f.folder() + "/b.jpg"), "B");

    const int position = positionOf("a.jpg");
    ASSERT_EQ(renameEntry(f.doc, position, "c.jpg"), 0);
    EXPECT_EQ(f.doc.entryAt(position)->fileName, "c.jpg");
    EXPECT_FALSE(fs::exists(f.folder() + "/a.jpg"));
    EXPECT_EQ(test::contentOf(f.folder() + "/c.jpg"), "A");
    EXPECT_EQ(noteOfFile(f.folder() + "/c.jpg", central()), "note of a");
    EXPECT_EQ(noteOfFile(f.folder() + "/a.jpg", central()), "");

    // The file went away meanwhile: nothing to rename.
    fs::remove(f.folder() + "/c.jpg");
    EXPECT_EQ(renameEntry(f.doc, position, "d.jpg"), -1);
}

TEST_F(RenameEntryTest, SerialRenameListsTakenNamesAndGoesOn) {
    f.put("a.jpg", "A");
    f.put("b.jpg", "B");
    f.put("c.jpg", "C");
    f.put("X2.jpg", "taken");
    open();
    std::vector<int> positions{positionOf("a.jpg"), positionOf("b.jpg"), positionOf("c.jpg")};
    std::sort(positions.begin(), positions.end());
    f.view.hints.clear();
    SerialNamer namer("X##.jpg", 1);
    const SerialRenameResult result = serialRenameEntries(f.doc, positions, namer, nullptr);
    EXPECT_EQ(result.renamed, 2);
    EXPECT_EQ(result.failures, (std::vector<std::string>{"b.jpg -> X2.jpg :failed rename"}));
    EXPECT_EQ(test::contentOf(f.folder() + "/X2.jpg"), "taken");
    EXPECT_EQ(test::contentOf(f.folder() + "/X1.jpg"), "A");
    EXPECT_EQ(test::contentOf(f.folder() + "/X3.jpg"), "C");
    EXPECT_EQ(f.view.numbers(), (std::vector<int>{hint::kRedrawEntry, hint::kRedrawEntry}));
}

} // namespace
} // namespace vemra
