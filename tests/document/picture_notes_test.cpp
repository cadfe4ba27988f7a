#include "../imaging/test_support.h"
#include "document/picture_notes.h"
#include "document/store_location.h"
#include "platform/profile_ini.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

PictureSource entryIn(const fs::path& folder, const std::string& name,
                      const std::string& archive = {}) {
    PictureSource e;
    e.folder = folder.string();
    e.fileName = name;
    e.archiveFileName = archive;
    return e;
}

TEST(PictureNotes, LineBreaksTravelThroughTheEncoding) {
    EXPECT_EQ(encodeNote("two\r\nlines"), "two`nlines");
    EXPECT_EQ(decodeNote("two`nlines"), "two\r\nlines");
    const std::string odd = "lone\rcr and lone\nlf, then\r\n\r\nend\r";
    EXPECT_EQ(encodeNote(odd).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(decodeNote(encodeNote(odd)), odd);
    EXPECT_EQ(decodeNote("`"), "`");
}

TEST(PictureNotes, SaveLoadAndClearInTheFolder) {
    test::TempDir dir;
    PictureSource e = entryIn(dir.path(), "a.jpg");
    e.note = "first line\r\nsecond line\nwith a lone LF";
    ASSERT_TRUE(saveNote(e, ""));
    const auto file = dir.path() / "_NOTE_.KPI";
    ASSERT_TRUE(fs::exists(file));
    ProfileIni ini(file.string());
    EXPECT_EQ(ini.readText(":a.jpg", "Note"), "first line`nsecond line\x05with a lone LF");

    PictureSource member = entryIn(dir.path(), "in.png", "album.zip");
    member.note = "  spaced note  ";
    ASSERT_TRUE(saveNote(member, ""));

    PictureSource loaded = entryIn(dir.path(), "a.jpg");
    loadNote(loaded, "");
    EXPECT_TRUE(loaded.noteLoaded);
    EXPECT_EQ(loaded.note, e.note);
    PictureSource loadedMember = entryIn(dir.path(), "in.png", "album.zip");
    loadNote(loadedMember, "");
    EXPECT_EQ(loadedMember.note, "  spaced note  ");
    // Loaded once: a later change of the file is not read again.
    loadedMember.note = "edited";
    loadNote(loadedMember, "");
    EXPECT_EQ(loadedMember.note, "edited");

    // Clearing both notes removes their sections, then the empty file.
    e.note.clear();
    ASSERT_TRUE(saveNote(e, ""));
    EXPECT_TRUE(fs::exists(file));
    member.note.clear();
    ASSERT_TRUE(saveNote(member, ""));
    EXPECT_FALSE(fs::exists(file));
}

TEST(PictureNotes, CentralFolderNamesOnlyFoldersWithNotes) {
    test::TempDir dir;
    const fs::path pictures = dir.path() / "pictures";
    const fs::path central = dir.path() / "cache";
    fs::create_directories(pictures);
    fs::create_directories(central);
    PictureSource e = entryIn(pictures, "b.jpg");
    loadNote(e, central.string());
    EXPECT_TRUE(e.note.empty());
    EXPECT_FALSE(fs::exists(central / "_cache_.lst")); // reading registers nothing
    deleteNote(e, central.string());
    EXPECT_FALSE(fs::exists(central / "_cache_.lst"));

    e.note = "kept centrally";
    ASSERT_TRUE(saveNote(e, central.string()));
    EXPECT_FALSE(fs::exists(pictures / "_NOTE_.KPI"));
    const auto file = findStoreFile(pictures.string(), central.string(), kNoteStore);
    ASSERT_TRUE(file);
    EXPECT_EQ(fs::path(*file).extension(), ".kpn");
    PictureSource again = entryIn(pictures, "b.jpg");
    loadNote(again, central.string());
    EXPECT_EQ(again.note, "kept centrally");

    // Saving into another folder (a copy) leaves the source's note alone.
    const fs::path other = dir.path() / "other";
    fs::create_directories(other);
    ASSERT_TRUE(saveNote(e, "", other.string()));
    EXPECT_TRUE(fs::exists(other / "_NOTE_.KPI"));
}

TEST(PictureNotes, ClipboardListRoundTrips) {
    const std::vector<std::string> notes = {"one", "", "three\r\nlines"};
    const auto bytes = noteClipboardBytes(notes);
    EXPECT_EQ(bytes.size(), 3 + 1 + 1 + 12 + 1 + 1u);
    EXPECT_EQ(bytes.back(), std::byte{0});
    EXPECT_EQ(parseNoteClipboard(bytes), notes);
    EXPECT_EQ(parseNoteClipboard(noteClipboardBytes({})), std::vector<std::string>{});
    EXPECT_EQ(parseNoteClipboard(noteClipboardBytes({""})), std::vector<std::string>{""});
    // Without the final NUL, or cut inside a note: the complete notes only.
    const auto cut = std::span(bytes).first(bytes.size() - 1);
    EXPECT_EQ(parseNoteClipboard(cut), notes);
    EXPECT_EQ(parseNoteClipboard(std::span(bytes).first(6)), (std::vector<std::string>{"one", ""}));
}

} // namespace
} // namespace vemra
