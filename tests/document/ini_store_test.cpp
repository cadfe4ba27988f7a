#include "document/ini_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vemra {
namespace {

TEST(IniStore, ReadsSectionsKeysAndValueForms) {
    IniStore ini;
    ini.load("top=1\n"
             "; a comment = not a key\n"
             "  [Document]\r\n"
             "MaxCount \t= 12 ; trailing comment\n"
             "DocSize=96, 72\n"
             "ThumbsFile=\"thumbs; data.dat\"\n"
             "Note=\"a, b\",c\n"
             "Plain=  left as it is  \n"
             "no equals sign here\n"
             "[broken section\n"
             "Late=yes\n"
             "[document]\n"
             "MaxCount=99\n"
             "[Document]\n"
             "MaxCount=13\n"
             "Sign= -42x\n"
             "Word=abc\n");
    EXPECT_EQ(ini.integer("", "top"), 1);
    EXPECT_EQ(ini.integer("Document", "MaxCount"), 13); // repeated section continues, key replaced
    EXPECT_EQ(ini.integer("document", "MaxCount"), 99); // names are case-sensitive
    EXPECT_EQ(ini.pair("Document", "DocSize"), (IntPair{96, 72}));
    // A ";" between quotes keeps the whole value.
    EXPECT_EQ(ini.text("Document", "ThumbsFile").text, "\"thumbs; data.dat\"");
    EXPECT_EQ(ini.field("Document", "ThumbsFile").text, "thumbs; data.dat");
    EXPECT_EQ(ini.field("Document", "Note").text, "a, b");
    EXPECT_EQ(ini.text("Document", "Plain").text, "left as it is  ");
    EXPECT_EQ(ini.text("Document", "Late").text, "yes"); // "[" without "]" changes nothing
    EXPECT_EQ(ini.integer("Document", "Sign"), -42);
    EXPECT_EQ(ini.integer("Document", "Word"), 0);
    bool found = true;
    EXPECT_EQ(ini.integer("Document", "Absent", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_FALSE(ini.text("Nothing", "x").found);
    EXPECT_FALSE(ini.text("Document", "a comment").found);
    EXPECT_EQ(ini.sections().size(), 3u); // "", "Document", "document"
}

TEST(IniStore, LongLinesAreCutAndTheirRestIsNotALine) {
    std::string text = "[S]\nkey=";
    text.append(5000, 'x');
    text += "\n";
    // What lies beyond the 4,095 bytes of the line must not turn into a key.
    std::string sneaky = "[S]\nlong=";
    sneaky.append(IniStore::kMaxLine - 5, 'y');
    sneaky += "evil=1\nafter=2\n";
    IniStore ini;
    ini.load(text + sneaky);
    EXPECT_EQ(ini.text("S", "key").text.size(), IniStore::kMaxLine - 4);
    EXPECT_FALSE(ini.text("S", "evil").found);
    EXPECT_EQ(ini.integer("S", "after"), 2);
}

TEST(IniStore, ShiftJisFilesAreReadAsText) {
    IniStore ini;
    // "写真" in Shift-JIS.
    ini.load(std::string("[1]\nFileName=\x8e\xca\x90\x5e.jpg\n"));
    EXPECT_EQ(ini.field("1", "FileName").text, "写真.jpg");
}

TEST(IniStore, HostileBytesNeverCrash) {
    std::string junk;
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    junk += "\n[\n]\n=\n==\n[]\n\"\n;\n";
    IniStore ini;
    ini.load(junk);
    (void)ini.text("", "");
    (void)ini.pair("", "");
    SUCCEED();
}

TEST(IniStore, OpenReadsAFileAndFailsOnMissingOnes) {
    test::TempDir dir;
    { std::ofstream(dir.file("info.kpi")) << "[A]\nB=7\n"; }
    IniStore ini;
    EXPECT_TRUE(ini.open(dir.file("info.kpi")));
    EXPECT_EQ(ini.integer("A", "B"), 7);
    EXPECT_FALSE(ini.open(dir.file("absent.kpi")));
    EXPECT_TRUE(ini.sections().empty());
    EXPECT_FALSE(ini.open(dir.path().string())); // a folder is no ini file
}

} // namespace
} // namespace vemra
