#include "document/caption_font.h"
#include "document/document_options.h"
#include "imaging/qcolor_value.h"
#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <QFontDatabase>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>

namespace vemra {
namespace {

class DocumentOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGuiApplication(); }

    // A store over an ini file holding `text`.
    SettingsStore& storeWith(const std::string& text) {
        std::ofstream(m_dir.file("vemra.ini"), std::ios::binary) << text;
        m_store = std::make_unique<SettingsStore>(m_dir.file("vemra.ini"));
        return *m_store;
    }
    std::map<std::string, std::string> entries(const DocumentOptions& o) {
        std::map<std::string, std::string> result;
        for (const DocumentOptions::Entry& e : o.entries()) {
            result[std::string(e.section) + "/" + std::string(e.key)] = e.value;
        }
        return result;
    }

    test::TempDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

TEST_F(DocumentOptionsTest, EmptyStoreGivesTheDefaults) {
    const DocumentOptions o = DocumentOptions::load(storeWith(""));
    const auto e = entries(o);
    EXPECT_EQ(e.size(), 64u); // every key the document owns, each once
    EXPECT_EQ(e.at("KPDoc/AutoRotate"), "1");
    EXPECT_EQ(e.at("KPDoc/ExifThumbnailFirst"), "1");
    EXPECT_EQ(e.at("KPDoc/SortDateTaken"), "0");
    EXPECT_EQ(e.at("KPDoc/ThumbsSize"), "110,110");
    EXPECT_EQ(e.at("KPDoc/ThumbWorkers"), "0"); // one per core
    EXPECT_EQ(e.at("KPDoc/ThumbMemoryMB"), "256");
    EXPECT_EQ(e.at("KPDoc/ThumbsLimitSize"), "40,40");
    EXPECT_EQ(e.at("KPDoc/TrashCan"), "1");
    EXPECT_EQ(e.at("KPDoc/PathMask"), "*.*");
    EXPECT_EQ(e.at("KPDoc/IDViewer"), "32782");
    EXPECT_EQ(e.at("KPDoc/UnsharpKernel"), "1,1,1,1,0,1,1,1,1");
    EXPECT_EQ(e.at("KPDoc/UnsharpLevel"), "0.500000");
    EXPECT_EQ(e.at("KPDoc/ColorManagement"), "1");
    EXPECT_EQ(e.at("KPDoc/DisplayProfile"), "");
    EXPECT_EQ(e.at("ZRVxFile/colSelectBackGround"), "16747660");
    EXPECT_EQ(e.at("ZRVxFile/colCantDraw"), "15794175");
    EXPECT_EQ(e.at("ZRVxFile/fontHeight"), "-12");
    EXPECT_EQ(e.at("ZRVxFile/NameFormat"), "\"$(PicName)\"");
    EXPECT_EQ(e.at("Filer/AutoFileFormat"), "%s-%d%s");
    EXPECT_EQ(e.at("Filter/DateEnd"), "4294967295");
    EXPECT_EQ(o.captionLines, std::vector<std::string>{"$(PicName)"});
    EXPECT_EQ(toQColor(o.colSelectBackGround), QColor(140, 140, 255));
    EXPECT_EQ(fromQColor(QColor(240, 240, 255)), o.colArcDraw);
}

TEST_F(DocumentOptionsTest, CachingIsOnInTheUserCacheFolderUnlessTheFileSaysOtherwise) {
    struct Case {
        const char* xdg;  // XDG_CACHE_HOME, nullptr: unset
        const char* home; // HOME
        const char* ini;
        std::string folder;
        bool cacheFolder;
        bool autoCacheFolder;
    };
    const Case cases[] = {
        {"/tmp/xdg-cache/", "/home/u", "", "/tmp/xdg-cache/Vemra", true, true},
        {nullptr, "/home/u", "", "/home/u/.cache/Vemra", true, true},
        {"relative/cache", "/home/u", "", "/home/u/.cache/Vemra", true, true},
        // A file holding the keys keeps its values, an empty folder too.
        {nullptr, "/home/u", "[KPDoc]\nCacheDataFolder=\nCacheFolder=0\nAutoCacheFolder=0\n", "",
         false, false},
        {nullptr, "/home/u", "[KPDoc]\nCacheDataFolder=$(ExeDir)/cache\nAutoCacheFolder=0\n",
         "$(ExeDir)/cache", true, false},
    };
    const auto restore = [](const char* name, std::optional<std::string> value) {
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    };
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto savedXdg = saved("XDG_CACHE_HOME");
    const auto savedHome = saved("HOME");
    for (const Case& c : cases) {
        c.xdg ? setenv("XDG_CACHE_HOME", c.xdg, 1) : unsetenv("XDG_CACHE_HOME");
        setenv("HOME", c.home, 1);
        const DocumentOptions o = DocumentOptions::load(storeWith(c.ini));
        EXPECT_EQ(o.cacheDataFolder, c.folder) << c.ini;
        EXPECT_EQ(o.cacheFolder, c.cacheFolder) << c.ini;
        EXPECT_EQ(o.autoCacheFolder, c.autoCacheFolder) << c.ini;
    }
    restore("XDG_CACHE_HOME", savedXdg);
    restore("HOME", savedHome);
    // The plain struct, made without settings, never writes a cache.
    EXPECT_FALSE(DocumentOptions{}.cacheFolder);
    EXPECT_FALSE(DocumentOptions{}.autoCacheFolder);
}

TEST_F(DocumentOptionsTest, ThumbnailSizesKeepTheirLimits) {
    DocumentOptions o = DocumentOptions::load(storeWith("[KPDoc]\nThumbsSize=20,20\n"));
    EXPECT_EQ(o.thumbsSize, (IntPair{40, 40}));

    o = DocumentOptions::load(storeWith("[KPDoc]\nThumbsLimitSize=5,5\nThumbsSize=8,200\n"));
    EXPECT_EQ(o.thumbsLimitSize, (IntPair{10, 10}));
    EXPECT_EQ(o.thumbsSize, (IntPair{10, 200}));

    o = DocumentOptions::load(storeWith("[KPDoc]\nThumbsLimitSize=60,30\nThumbsSize=50\n"));
    EXPECT_EQ(o.thumbsSize, (IntPair{60, 30}));

    // A damaged value cannot ask for gigantic cells.
    o = DocumentOptions::load(storeWith("[KPDoc]\nThumbsSize=99999999,abc\n"));
    EXPECT_EQ(o.thumbsSize, (IntPair{DocumentOptions::kMaxThumbnailSide, 40}));
}

TEST_F(DocumentOptionsTest, CaptionFontFallsBackButKeepsItsHeight) {
    DocumentOptions o = DocumentOptions::load(
        storeWith("[ZRVxFile]\nfontFaceName=No Such Face 42\nfontHeight=-20\nfontItalic=1\n"));
    const QString system = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    EXPECT_EQ(o.fontFaceName, system.toStdString());
    EXPECT_EQ(o.fontHeight, -20);
    const QFont font = captionFont(o);
    EXPECT_EQ(font.pixelSize(), 20);
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(font.family(), system);

    if (QFontDatabase::hasFamily("IPAGothic")) {
        // The Windows face resolves through the substitution and is kept.
        o = DocumentOptions::load(storeWith(""));
        EXPECT_EQ(o.fontFaceName, "ＭＳ ゴシック");
        // The same face in a settings file written by the Windows program (Shift-JIS).
        o = DocumentOptions::load(
            storeWith("[ZRVxFile]\r\nfontFaceName="
                      "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E\r\n"));
        EXPECT_EQ(o.fontFaceName, "ＭＳ ゴシック");
        o = DocumentOptions::load(
            storeWith("[ZRVxFile]\nfontFaceName=IPAGothic\nfontWeight=700\n"));
        EXPECT_EQ(o.fontFaceName, "IPAGothic");
        EXPECT_EQ(captionFont(o).weight(), QFont::Bold);
    }
}

TEST_F(DocumentOptionsTest, NameFormatIsCutIntoCaptionLines) {
    DocumentOptions o = DocumentOptions::load(
        storeWith("[ZRVxFile]\nNameFormat=\"\"$(PicName)\",,\"$(PicSize), $(PicDate)\"\"\n"));
    EXPECT_EQ(o.captionLines, (std::vector<std::string>{"$(PicName)", "$(PicSize), $(PicDate)"}));
    o = DocumentOptions::load(storeWith("[ZRVxFile]\nNameFormat=$(PicName),$(PicNum)\n"));
    EXPECT_EQ(o.captionLines, (std::vector<std::string>{"$(PicName)", "$(PicNum)"}));
}

TEST_F(DocumentOptionsTest, SharpeningValuesAreCheckedAsAGroup) {
    DocumentOptions o = DocumentOptions::load(
        storeWith("[KPDoc]\nUnsharpPassCount=2\nUnsharpKernel=1,2,3,4,5\nUnsharpLevel=0.25\n"));
    EXPECT_EQ(o.unsharpPassCount, 2);
    EXPECT_EQ(o.unsharpKernel, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(o.unsharpLevel, 0.25);

    const std::vector<int> builtIn{1, 1, 1, 1, 0, 1, 1, 1, 1};
    for (const char* text :
         {"[KPDoc]\nUnsharpPassCount=6\nUnsharpKernel=1,1,1,1\n", "[KPDoc]\nUnsharpPassCount=0\n",
          "[KPDoc]\nUnsharpPassCount=5\n", "[KPDoc]\nUnsharpPassCount=3\nUnsharpKernel=\n"}) {
        o = DocumentOptions::load(storeWith(text));
        EXPECT_EQ(o.unsharpPassCount, 3) << text;
        EXPECT_EQ(o.unsharpKernel, builtIn) << text;
    }
    for (const char* level : {"1.5", "-0.1", "nan", "x"}) {
        o = DocumentOptions::load(storeWith(std::string("[KPDoc]\nUnsharpLevel=") + level + "\n"));
        EXPECT_EQ(o.unsharpLevel, 0.0) << level;
    }
}

TEST_F(DocumentOptionsTest, FilterDatesAndSizes) {
    DocumentOptions o = DocumentOptions::load(storeWith("[Filter]\nDateBegin=0\nDateEnd=0\n"));
    EXPECT_EQ(o.dateFrom, 0);
    EXPECT_EQ(o.dateTo, DocumentOptions::kLatestFileTime);
    o = DocumentOptions::load(storeWith("[Filter]\nFileSize=1\nDateBegin=1000\nDateEnd=2000\n"
                                        "SizeBegin0=10\nUnitBegin=1\nSizeEnd0=1\nUnitEnd=2\n"));
    EXPECT_TRUE(o.filterFileSize);
    EXPECT_EQ(o.dateFrom, 1000);
    EXPECT_EQ(o.dateTo, 2000);
    EXPECT_EQ(o.sizeMinimum, 10240);
    EXPECT_EQ(o.sizeMaximum, 1048576);
    // Units beyond the list and huge numbers neither overflow nor wrap.
    o = DocumentOptions::load(
        storeWith("[Filter]\nSizeBegin0=junk\nSizeEnd0=9223372036854775807\nUnitEnd=40\n"));
    EXPECT_EQ(o.sizeMinimum, 0);
    EXPECT_EQ(o.unitEnd, 2);
    EXPECT_EQ(o.sizeMaximum, INT64_MAX);
}

TEST_F(DocumentOptionsTest, SavedOptionsLoadBackUnchanged) {
    // Keys of other owners: the registry keeps "#InnerJPEG_FAST" as 0-3.
    SettingsStore& store = storeWith("[Filter]\nDateBegin=77\n[SPI]\n#InnerJPEG_FAST=2\n");
    DocumentOptions o = DocumentOptions::load(store);
    o.thumbsSize = {150, 120};
    o.thumbsLimitSize = {50, 50};
    o.delqa = true;
    o.pathMask = "*.jpg;*.png";
    o.homeFolder = "/home/user/写真";
    o.unsharpPassCount = 2;
    o.unsharpKernel = {0, 1, 1, 0};
    o.unsharpLevel = 0.75;
    o.colText = 0x123456;
    o.fontHeight = -16;
    o.captionLines = {"$(PicName)", "$(PicSize), $(PicDate)"};
    o.autoFileFormat = "%s (%d)%s";
    o.save(store);

    DocumentOptions back = DocumentOptions::load(store);
    EXPECT_EQ(entries(back), entries(o));
    EXPECT_EQ(store.getText("KPDoc", "ThumbsSize"), "150,120");
    EXPECT_EQ(store.getText("KPDoc", "UnsharpLevel"), "0.750000");
    EXPECT_EQ(store.getInt("ZRVxFile", "colText", 0), 0x123456);
    // The filter keys belong to the display-filter dialog.
    EXPECT_EQ(store.keyNames("Filter"), std::vector<std::string>{"DateBegin"});
    // Only the registry writes its section: a user's fast-JPEG level 2
    // survives whichever owner is saved last.
    EXPECT_EQ(store.keyNames("SPI"), std::vector<std::string>{"#InnerJPEG_FAST"});
    EXPECT_EQ(store.getInt("SPI", "#InnerJPEG_FAST", 0), 2);
    EXPECT_TRUE(store.keyNames("KPView").empty());
}

TEST_F(DocumentOptionsTest, ColoursLoseTheirTopByte) {
    const DocumentOptions o = DocumentOptions::load(storeWith("[ZRVxFile]\ncolText=-1\n"));
    EXPECT_EQ(o.colText, 0xFFFFFFu);
}

} // namespace
} // namespace vemra
