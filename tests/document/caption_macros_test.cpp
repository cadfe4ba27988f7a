#include "../imaging/test_support.h"
#include "document/caption_macros.h"
#include "document/cp_decode.h"
#include "platform/program_path.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include <string>

namespace vemra {
namespace {

// 2026-12-31 14:59:59 UTC, one second before midnight in Tokyo.
constexpr std::int64_t kLastSecondOf2026InTokyo = 1798729199;

PictureSource plainEntry() {
    PictureSource e;
    e.decoder = kJpegDecoderId;
    e.folder = "/photos/旅行";
    e.fileName = "富士山.view.jpg";
    e.length = 1536;
    e.creationTime = kLastSecondOf2026InTokyo;
    e.lastWriteTime = kLastSecondOf2026InTokyo + 1;
    e.pictureWidth = 4000;
    e.pictureHeight = 3000;
    e.bitCount = 24;
    e.infoText = "By ZRV.NQ";
    e.note = "頂上";
    e.noteLoaded = true;
    return e;
}

PictureSource memberEntry() {
    PictureSource e = plainEntry();
    e.fileName = "inside.png";
    e.archiveFileName = "album.zip";
    e.archiveDecoder = 0;
    e.decoder = kJpegDecoderId;
    return e;
}

// Local time is Tokyo's for the test (no daylight saving, so the expected
// texts are fixed); the zone in force before is restored afterwards.
class TokyoTime : public test::ScopedEnvironment {
public:
    TokyoTime() : ScopedEnvironment("TZ", "JST-9") {}
};

std::string expand(std::string_view format, const PictureSource& e) {
    return expandCaption(format, e);
}

TEST(CaptionMacros, EveryMacroInItsLongAndShortForm) {
    TokyoTime tokyo;
    const PictureSource e = plainEntry();
    struct Case {
        const char* longForm;
        const char* shortForm;
        std::string value;
    };
    const Case cases[] = {
        {"$(PicPath)", "$(PP)", "/photos/旅行/富士山.view.jpg"},
        {"$(ShortPicPath)", "$(SPP)", "/photos/旅行/富士山.view.jpg"},
        {"$(PicDir)", "$(PD)", "/photos/旅行"},
        {"$(PicName)", "$(PN)", "富士山.view.jpg"},
        {"$(ShortPicName)", "$(SPN)", "富士山.view.jpg"},
        {"$(FileName)", "$(FN)", "富士山.view"},
        {"$(ArcPath)", "$(AP)", ""},
        {"$(ArcName)", "$(AN)", ""},
        {"$(Width)", "$(W)", "4000"},
        {"$(Height)", "$(H)", "3000"},
        {"$(Color)", "$(C)", "24"},
        {"$(Date)", "$(D)", "2027/01/01"},
        {"$(Time)", "$(T)", "00:00:00"},
        {"$(CreateDate)", "$(CD)", "2026/12/31"},
        {"$(CreateTime)", "$(CT)", "23:59:59"},
        {"$(Length)", "$(L)", "1.5KB"},
        {"$(Size)", "$(S)", "1,536"},
        {"$(Info)", "$(I)", "By ZRV.NQ"},
        {"$(Note)", "$(N)", "頂上"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expand(c.longForm, e), c.value) << c.longForm;
        EXPECT_EQ(expand(c.shortForm, e), c.value) << c.shortForm;
        // Inside other text, and twice in a row.
        std::string twice = "<";
        twice += c.value;
        twice += c.value;
        twice += '>';
        EXPECT_EQ(expand(std::string("<") + c.longForm + c.shortForm + ">", e), twice)
            << c.longForm;
    }
    // The usual dialog lines.
    EXPECT_EQ(expand("$(W)x$(H) $(C)b", e), "4000x3000 24b");
    EXPECT_EQ(expand("$(S) ﾊﾞｲﾄ $(D) $(T)", e), "1,536 ﾊﾞｲﾄ 2027/01/01 00:00:00");
    EXPECT_EQ(expand("", e), "");
    EXPECT_EQ(expand("no macros at all", e), "no macros at all");
}

TEST(CaptionMacros, ArchiveMembersNameTheirArchive) {
    const PictureSource m = memberEntry();
    EXPECT_EQ(expand("$(PicPath)", m), "inside.png"); // a member's full path is its name
    EXPECT_EQ(expand("$(PicName)|$(SPN)|$(FN)", m), "inside.png|inside.png|inside");
    EXPECT_EQ(expand("$(PicDir)", m), "/photos/旅行");
    EXPECT_EQ(expand("$(ArcPath)", m), "/photos/旅行/album.zip");
    EXPECT_EQ(expand("$(AP)|$(AN)|$(ArcName)", m), "/photos/旅行/album.zip|album.zip|album.zip");
}

TEST(CaptionMacros, FileNamesWithoutExtension) {
    PictureSource e = plainEntry();
    const std::pair<const char*, const char*> names[] = {
        {"photo.jpeg", "photo"}, {"archive.tar.gz", "archive.tar"}, {"README", "README"},
        {".hidden", ".hidden"},  {"trailing.", "trailing"},         {"dir.d/plain", "dir.d/plain"},
    };
    for (const auto& [name, stem] : names) {
        e.fileName = name;
        EXPECT_EQ(expand("$(FileName)", e), stem) << name;
    }
}

TEST(CaptionMacros, SizesAroundTheUnitBoundaries) {
    PictureSource e = plainEntry();
    const struct {
        std::uint64_t bytes;
        const char* length;
        const char* size;
    } cases[] = {
        {0, "0.0B", "0"},
        {999, "999.0B", "999"},
        {1000, "1.0KB", "1,000"}, // 1000 bytes already count in kilobytes
        {1023, "1.0KB", "1,023"},
        {1024, "1.0KB", "1,024"},
        {999 * 1024, "999.0KB", "1,022,976"},
        {1000 * 1024, "1.0MB", "1,024,000"},
        {1536ull << 20, "1.5GB", "1,610,612,736"},
        {3ull << 40, "3.0TB", "3,298,534,883,328"},
        {5ull << 50, "5,120.0TB", "5,629,499,534,213,120"}, // TB is the largest unit
        {~0ull, "16,777,216.0TB", "18,446,744,073,709,551,615"},
    };
    for (const auto& c : cases) {
        e.length = c.bytes;
        EXPECT_EQ(expand("$(Length)", e), c.length) << c.bytes;
        EXPECT_EQ(expand("$(S)", e), c.size) << c.bytes;
    }
}

TEST(CaptionMacros, DatesAreLocal) {
    TokyoTime tokyo;
    PictureSource e = plainEntry();
    e.lastWriteTime = 0;
    e.creationTime = -1; // before 1970 still shows
    EXPECT_EQ(expand("$(D) $(T)", e), "1970/01/01 09:00:00");
    EXPECT_EQ(expand("$(CD) $(CT)", e), "1970/01/01 08:59:59");
    e.lastWriteTime = 4102444800; // 2100-01-01 00:00 UTC, past 32 bits signed
    EXPECT_EQ(expand("$(Date) $(Time)", e), "2100/01/01 09:00:00");
    e.lastWriteTime = INT64_MAX; // beyond what the C library can break down
    EXPECT_EQ(expand("[$(D)][$(T)]", e), "[][]");
}

TEST(CaptionMacros, TodayInTheLocalesShortForm) {
    // Noon UTC is the same day in every zone people live in.
    const std::int64_t noon = 1798718400; // 2026-12-31 12:00 UTC
    CaptionEnvironment at;
    at.now = noon;
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(noon);
    const std::string date =
        QLocale::system().toString(moment.date(), QLocale::ShortFormat).toStdString();
    const std::string time =
        QLocale::system().toString(moment.time(), QLocale::ShortFormat).toStdString();
    ASSERT_FALSE(date.empty());
    EXPECT_NE(date.find("31"), std::string::npos);
    EXPECT_EQ(expandCaption("$(TodayDate) $(TD)", plainEntry(), at), date + " " + date);
    EXPECT_EQ(expandCaption("$(TodayTime)|$(TT)", plainEntry(), at), time + "|" + time);
    // Without a fixed moment: today (or tomorrow, when midnight passes).
    const auto today = [] {
        return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    };
    const std::string before = today();
    const std::string shown = expandCaption("$(TD)", plainEntry());
    EXPECT_TRUE(shown == before || shown == today()) << shown;
}

TEST(CaptionMacros, WithoutAPictureOnlyTheClockIsShown) {
    CaptionEnvironment at;
    at.now = 1798718400;
    const std::string today = expandCaption("$(TD)", plainEntry(), at);
    EXPECT_EQ(expandCaptionWithoutPicture("[$(PN)$(PP)$(PD)$(W)$(H)$(C)$(D)$(T)$(L)$(S)$(I)$(N)"
                                          "$(AP)$(AN)$(FN)$(SPN)$(SPP)$(CD)$(CT)$(CP)] $(TD)",
                                          at),
              "[] " + today);
    EXPECT_EQ(expandCaptionWithoutPicture("$(Unknown) stays"), "$(Unknown) stays");
}

TEST(CaptionMacros, WhatNamesNoMacroStaysAsItStands) {
    const PictureSource e = plainEntry();
    const char* unchanged[] = {
        "$(Foo)",      "$(",          "$(PicName",           "$()", "$(pn) $(picname)",
        "$ (PN)",      "$(PN )",      "$(AVeryLongName)PN)", "$",   "(PN)",
        "$(Short)PN)", "$(\xff\xfe)", "100$ (and more)",
    };
    for (const char* text : unchanged) {
        EXPECT_EQ(expand(text, e), text) << text;
    }
    EXPECT_EQ(expand("$$(W)", e), "$4000");
    EXPECT_EQ(expand("$($(W))", e), "$(4000)"); // the inner macro still expands
    EXPECT_EQ(expand("$(W$(H))", e), "$(W3000)");
    EXPECT_EQ(expand("$(W)$(", e), "4000$(");
}

TEST(CaptionMacros, ValuesAreNotExpandedAgain) {
    PictureSource e = plainEntry();
    e.folder = "/tmp/$(W)";
    e.fileName = "$(H).jpg";
    e.infoText = "$(PN)";
    EXPECT_EQ(expand("$(PP) $(I)", e), "/tmp/$(W)/$(H).jpg $(PN)");
}

TEST(CaptionMacros, TheNoteIsExpandedButCannotRecurse) {
    PictureSource e = plainEntry();
    e.note = "$(W)x$(H) [$(Note)] [$(N)] $(Bogus)";
    EXPECT_EQ(expand("$(N)", e), "4000x3000 [$(Note)] [$(N)] $(Bogus)");
    EXPECT_EQ(expand("$(Note)/$(Note)", e),
              "4000x3000 [$(Note)] [$(N)] $(Bogus)/4000x3000 [$(Note)] [$(N)] $(Bogus)");

    // A note made of nothing but itself, many times over: the result grows
    // with the note, not exponentially.
    std::string selfish;
    for (int i = 0; i < 10000; ++i)
        selfish += "$(N)";
    e.note = selfish;
    EXPECT_EQ(expand("$(N)$(N)", e), selfish + selfish);

    e.note = "line one\r\nline two";
    EXPECT_EQ(expand("<$(N)>", e), "<line one\r\nline two>");
}

// "$(CP)" with the stand-in library built beside this test program.
class CaptionCp : public ::testing::Test {
protected:
    static std::string cp(const PictureSource& e, const std::string& library = {}) {
        CaptionEnvironment environment;
        environment.cpDecodeLibrary = library;
        return expandCaption("$(CP)", e, environment);
    }
    static PictureSource jpeg(const std::string& name) {
        PictureSource e = plainEntry();
        e.folder = "/pictures";
        e.fileName = name;
        return e;
    }
};

TEST_F(CaptionCp, TheLibraryBesideTheProgramIsFoundFirst) {
    std::string beside = executableDir();
    beside += "/libcpdecode.so";
    EXPECT_EQ(defaultCpDecodeLibrary(), beside);
    // Every item in brackets; the empty last item is left out.
    EXPECT_EQ(cp(jpeg("a.jpg")), "[ok] [128] [/pictures/a.jpg] ");
    EXPECT_EQ(cp(jpeg("a.jpg"), VEMRA_CPDECODE_LIBRARY), "[ok] [128] [/pictures/a.jpg] ");
    EXPECT_EQ(expandCaption("$(PN) $(CP)$(W)", jpeg("b.jpg")),
              "b.jpg [ok] [128] [/pictures/b.jpg] 4000");
}

TEST_F(CaptionCp, OnlyPlainFilesOfTheBuiltInJpegDecoder) {
    PictureSource png = jpeg("a.jpg");
    png.decoder = kPngDecoderId;
    EXPECT_EQ(cp(png), "");
    PictureSource plugin = jpeg("a.jpg");
    plugin.decoder = 0; // a plug-in, even one that reads JPEG
    EXPECT_EQ(cp(plugin), "");
    EXPECT_EQ(cp(memberEntry()), "");
}

TEST_F(CaptionCp, FailuresExpandToNothing) {
    EXPECT_EQ(cp(jpeg("fail.jpg")), "");
    EXPECT_EQ(cp(jpeg("a.jpg"), VEMRA_CPDECODE_NOEXPORT_LIBRARY), "");
    EXPECT_EQ(cp(jpeg("a.jpg"), "/nonexistent/libcpdecode.so"), "");
    EXPECT_EQ(cp(jpeg("a.jpg"), "libcpdecode-nowhere.so"), ""); // not on the search path
    EXPECT_EQ(cp(jpeg("crash.jpg")), "");
    // After a fault the next call works as before.
    EXPECT_EQ(cp(jpeg("a.jpg")), "[ok] [128] [/pictures/a.jpg] ");
}

TEST_F(CaptionCp, AFullBufferWithoutTerminatorIsReadTo128Bytes) {
    std::string expected;
    for (int i = 0; i < 16; ++i)
        expected += "[abcdefg] ";
    EXPECT_EQ(cp(jpeg("full.jpg")), expected);
}

TEST_F(CaptionCp, ShiftJisItemsBecomeUtf8) {
    EXPECT_EQ(cp(jpeg("sjis.jpg")), "[日本] [写真] ");
}

} // namespace
} // namespace vemra
