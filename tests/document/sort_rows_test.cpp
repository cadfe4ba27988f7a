#include "document/document_sort.h"
#include "document/sort_rows.h"
#include "document/sort_state.h"
#include "fake_scan_services.h"
#include "folder_document_test_support.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>
#include <QString>

#include <utime.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

namespace vemra {
namespace {

SortRow named(int index, std::string name) {
    SortRow row;
    row.entryIndex = index;
    row.setText(kSortByName, name);
    return row;
}

std::vector<int> indexes(const std::vector<SortRow>& rows) {
    std::vector<int> out;
    for (const SortRow& r : rows)
        out.push_back(r.entryIndex);
    return out;
}

std::vector<std::string> names(const std::vector<SortRow>& rows) {
    std::vector<std::string> out;
    for (const SortRow& r : rows)
        out.emplace_back(r.text(kSortByName));
    return out;
}

// A row keeps its seven texts in one block: setting any of them, longer,
// shorter or empty and in any order, leaves the others as they were.
TEST(SortRowTexts, EachTextKeepsItsOwnWhateverIsSetAfter) {
    const int columns[] = {kSortByFolder,  kSortByName,    kSortByNote, kSortByExtension,
                           kSortByDecoder, kSortByArchive, kSortByInfo};
    SortRow row;
    std::map<int, std::string> expected;
    for (const int column : columns) {
        expected[column] = "text of " + std::to_string(column);
        row.setText(column, expected[column]);
    }
    for (const auto& [column, text] :
         std::vector<std::pair<int, std::string>>{{kSortByNote, "a much longer note than before"},
                                                  {kSortByName, ""},
                                                  {kSortByFolder, "/"},
                                                  {kSortByInfo, "写真"},
                                                  {kSortByName, "again"},
                                                  {kSortBySize, "ignored"}}) {
        row.setText(column, text);
        if (column != kSortBySize)
            expected[column] = text;
        for (const int c : columns)
            EXPECT_EQ(row.text(c), expected[c]) << "column " << c;
        EXPECT_EQ(row.text(kSortBySize), "");
    }
}

TEST(SortRows, TextsIgnoreCaseAndEqualTextsKeepTheirOrder) {
    std::vector<SortRow> rows{named(0, "banana"), named(1, "Apple"), named(2, "cherry"),
                              named(3, "apple"), named(4, "APPLE")};
    sortRows(rows, SortKey{kSortByName, 1});
    EXPECT_EQ(indexes(rows), (std::vector<int>{1, 3, 4, 0, 2}));
    sortRows(rows, SortKey{kSortByName, 2});
    EXPECT_EQ(indexes(rows), (std::vector<int>{2, 0, 1, 3, 4})); // the three apples still 1, 3, 4
    sortRows(rows, SortKey{kSortByName, 0});
    EXPECT_EQ(indexes(rows), (std::vector<int>{0, 1, 2, 3, 4}));
    // Invalid keys leave the order alone.
    sortRows(rows, SortKey{kSortByName, 5});
    sortRows(rows, SortKey{kSortColumnCount, 1});
    EXPECT_EQ(indexes(rows), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(SortRows, JapaneseNamesFollowTheKanaOrder) {
    std::vector<SortRow> rows{named(0, "さくら"), named(1, "あさひ"), named(2, "Zebra"),
                              named(3, "かわ"),   named(4, "アサヒ"), named(5, "123")};
    sortRows(rows, SortKey{kSortByName, 1});
    // Digits, then Latin, then kana in あいうえお order; katakana ranks
    // with the same hiragana.
    const auto sorted = names(rows);
    EXPECT_EQ(sorted.front(), "123");
    EXPECT_EQ(sorted[1], "Zebra");
    EXPECT_LT(std::find(sorted.begin(), sorted.end(), "あさひ"),
              std::find(sorted.begin(), sorted.end(), "かわ"));
    EXPECT_LT(std::find(sorted.begin(), sorted.end(), "アサヒ"),
              std::find(sorted.begin(), sorted.end(), "かわ"));
    EXPECT_EQ(sorted.back(), "さくら");
    // Names that are no valid UTF-8 still sort, without harm.
    rows.push_back(named(6, std::string("\xff\xfe\x80", 3)));
    sortRows(rows, SortKey{kSortByName, 2});
    EXPECT_EQ(rows.size(), 7u);
}

// The order QCollator gives for Japanese ignoring case, comparison by
// comparison: what names were sorted by before the keys were made in one
// block.
std::vector<int> collatorOrder(const std::vector<std::string>& texts, bool descending) {
    QCollator collator{QLocale(QLocale::Japanese, QLocale::Japan)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    for (const std::string& t : texts)
        keys.push_back(
            collator.sortKey(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()))));
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[static_cast<std::size_t>(a)].compare(keys[static_cast<std::size_t>(b)]);
        return descending ? c > 0 : c < 0;
    });
    return order;
}

// Names sort exactly as the collator orders them, ties kept in scan order,
// whether every name is ASCII (the fast weights) or not (the collator's
// keys): punctuation, digits (not as numbers), letter case, control
// characters, kana of both kinds and widths, kanji, accents composed and not,
// bytes that are no UTF-8, and many random ASCII names.
TEST(SortRows, NamesSortAsTheCollatorOrdersThem) {
    std::vector<std::string> ascii{"img10",
                                   "img2",
                                   "IMG2",
                                   "img02",
                                   "img 2",
                                   "img_2",
                                   "img-2",
                                   "img.2",
                                   "img~2",
                                   "",
                                   "a",
                                   "A",
                                   "a\tb",
                                   "ab",
                                   "a\x01"
                                   "b",
                                   "a b",
                                   "_a",
                                   "-a",
                                   "!",
                                   "#",
                                   "$",
                                   "%",
                                   "&",
                                   "'",
                                   "(1)",
                                   "[1]",
                                   "{1}",
                                   "@",
                                   "^",
                                   "`",
                                   "+",
                                   "=",
                                   "<",
                                   ">",
                                   "|",
                                   "\\",
                                   "/",
                                   "*",
                                   "?",
                                   "\"",
                                   ",",
                                   ";",
                                   ":",
                                   "\x7f",
                                   "Zebra",
                                   "zebra",
                                   "zebra1",
                                   "zebr",
                                   "0",
                                   "9",
                                   "10",
                                   "1.5",
                                   "1,5",
                                   "file name"};
    std::mt19937 random(11);
    const std::string alphabet = " !-_.,()[]0123456789aAbByYzZ~\t";
    for (int i = 0; i < 400; ++i) {
        std::string name;
        const int length = static_cast<int>(random() % 9);
        for (int k = 0; k < length; ++k)
            name += random() % 5 == 0 ? static_cast<char>(random() % 128)
                                      : alphabet[random() % alphabet.size()];
        ascii.push_back(name);
    }
    std::vector<std::string> mixed = ascii;
    for (const char* other :
         {"さくら", "サクラ",       "ｻｸﾗ",    "桜",       "あさひ",    "アサヒ", "ぁ", "あ",
          "ー",     "ﾌｧｲﾙ名",       "ＡＢＣ", "abc",      "１２３",    "123",    "é",  "e\xcc\x81",
          "E",      "\xff\xfe\x80", "a\xc3",  "写真2024", "写真 2024", "Ω"})
        mixed.push_back(other);
    for (const auto* texts : {&ascii, &mixed}) {
        std::vector<SortRow> rows;
        for (std::size_t i = 0; i < texts->size(); ++i)
            rows.push_back(named(static_cast<int>(i), (*texts)[i]));
        for (const bool descending : {false, true}) {
            auto sorted = rows;
            sortRows(sorted, SortKey{kSortByName, descending ? 2 : 1});
            EXPECT_EQ(indexes(sorted), collatorOrder(*texts, descending))
                << (texts == &ascii ? "ASCII" : "mixed") << (descending ? " descending" : "");
        }
    }
}

TEST(SortRows, EveryTextColumnComparesItsOwnText) {
    for (int column : {kSortByExtension, kSortByArchive, kSortByInfo, kSortByDecoder, kSortByNote,
                       kSortByFolder}) {
        std::vector<SortRow> rows(3);
        const char* texts[] = {"b", "C", "a"};
        for (int i = 0; i < 3; ++i) {
            rows[static_cast<std::size_t>(i)].entryIndex = i;
            SortRow& r = rows[static_cast<std::size_t>(i)];
            // The other text columns must not decide.
            for (const int other : {kSortByExtension, kSortByArchive, kSortByInfo, kSortByDecoder,
                                    kSortByNote, kSortByFolder})
                r.setText(other, "zzz");
            r.setText(kSortByName, texts[2 - i]);
            r.setText(column, texts[i]);
        }
        sortRows(rows, SortKey{column, 1});
        EXPECT_EQ(indexes(rows), (std::vector<int>{2, 0, 1})) << "column " << column;
        sortRows(rows, SortKey{column, 2});
        EXPECT_EQ(indexes(rows), (std::vector<int>{1, 0, 2})) << "column " << column;
    }
}

TEST(SortRows, NumbersTimesAndPixelsCompareAsNumbers) {
    std::vector<SortRow> rows(5);
    const std::uint64_t lengths[] = {100, 9, 1ull << 40, 10, 9};
    const std::int64_t times[] = {50, 40, 50, -10, 4'000'000'000};
    const int widths[] = {65536, 10, 1, 300, 65536};
    const int heights[] = {65536, 20, 2, 1, 65535};
    const int bits[] = {24, 8, 32, 1, 24};
    for (int i = 0; i < 5; ++i) {
        SortRow& r = rows[static_cast<std::size_t>(i)];
        r.entryIndex = i;
        r.length = lengths[i];
        r.lastWriteTime = times[i];
        r.width = widths[i];
        r.height = heights[i];
        r.bitCount = bits[i];
    }
    auto by = [&](SortKey key) {
        auto copy = rows;
        sortRows(copy, key);
        return indexes(copy);
    };
    EXPECT_EQ(by({kSortBySize, 1}), (std::vector<int>{1, 4, 3, 0, 2}));
    EXPECT_EQ(by({kSortBySize, 2}), (std::vector<int>{2, 0, 3, 1, 4}));
    // Equal times keep their order in both directions.
    EXPECT_EQ(by({kSortByDate, 1}), (std::vector<int>{3, 1, 0, 2, 4}));
    EXPECT_EQ(by({kSortByDate, 2}), (std::vector<int>{4, 0, 2, 1, 3}));
    EXPECT_EQ(by({kSortByPixels, 1}), (std::vector<int>{2, 1, 3, 0, 4}));
    EXPECT_EQ(by({kSortByPixels, 2}), (std::vector<int>{0, 4, 3, 1, 2}));
    EXPECT_EQ(by({kSortByPixels, 3}), (std::vector<int>{3, 2, 1, 4, 0}));
    EXPECT_EQ(by({kSortByPixels, 4}), (std::vector<int>{0, 4, 1, 2, 3}));
    EXPECT_EQ(by({kSortByPixels, 5}), (std::vector<int>{3, 1, 0, 4, 2}));
    EXPECT_EQ(by({kSortByPixels, 6}), (std::vector<int>{2, 0, 4, 1, 3}));
    // Areas beyond 32 bits: 65536 × 65536 is the largest.
    EXPECT_EQ(by({kSortByPixels, 7}), (std::vector<int>{2, 1, 3, 4, 0}));
    EXPECT_EQ(by({kSortByPixels, 8}), (std::vector<int>{0, 4, 3, 1, 2}));
}

TEST(SortRows, SeveralKeysEqualStableSortsFromTheOldest) {
    std::mt19937 random(7);
    std::vector<SortRow> rows(300);
    const char* words[] = {"a", "B", "c", "あ", "か"};
    for (int i = 0; i < 300; ++i) {
        SortRow& r = rows[static_cast<std::size_t>(i)];
        r.entryIndex = (i * 37) % 300;
        r.setText(kSortByName, words[random() % 5]);
        r.setText(kSortByExtension, words[random() % 5]);
        r.length = random() % 4;
        r.lastWriteTime = random() % 3;
        r.width = static_cast<int>(random() % 3);
        r.height = static_cast<int>(random() % 3);
    }
    const std::vector<SortKey> newestFirst{{kSortBySize, 2},      {kSortByName, 1},
                                           {kSortByPixels, 8},    {kSortByDate, 1},
                                           {kSortByExtension, 2}, {kSortByFolder, 0}};
    auto together = rows;
    sortRows(together, newestFirst);
    auto oneByOne = rows;
    for (auto key = newestFirst.rbegin(); key != newestFirst.rend(); ++key)
        sortRows(oneByOne, *key);
    EXPECT_EQ(indexes(together), indexes(oneByOne));
    EXPECT_TRUE(std::is_sorted(together.begin(), together.end(),
                               [](auto& a, auto& b) { return a.length > b.length; }));
    // Keys behind a scan-order key never decide.
    auto cut = rows;
    sortRows(cut, std::vector<SortKey>{{kSortBySize, 2}, {kSortByFolder, 0}});
    auto longer = rows;
    sortRows(longer, std::vector<SortKey>{{kSortBySize, 2}, {kSortByFolder, 0}, {kSortByName, 1}});
    EXPECT_EQ(indexes(cut), indexes(longer));
}

TEST(SortRows, RowsCopyTheEntryParts) {
    test::FakeScanServices services;
    PictureSource e;
    e.folder = "/pics";
    e.fileName = "sub.d/photo.final.JPG";
    e.decoder = kJpegDecoderId;
    e.archiveDecoder = test::FakeScanServices::kArchiveId;
    e.archiveFileName = "set.arc";
    e.length = 77;
    e.pictureWidth = 3;
    e.note = "memo";
    e.infoText = "info";
    const SortRow r = makeSortRow(e, 5, services);
    EXPECT_EQ(r.entryIndex, 5);
    EXPECT_EQ(r.text(kSortByName), "sub.d/photo.final");
    EXPECT_EQ(r.text(kSortByExtension), "JPG");
    EXPECT_EQ(r.text(kSortByDecoder), "JPEG/arcspi");
    EXPECT_EQ(r.text(kSortByArchive), "set.arc");
    EXPECT_EQ(r.text(kSortByFolder), "/pics");
    EXPECT_EQ(r.text(kSortByNote), "memo");
    EXPECT_EQ(r.text(kSortByInfo), "info");
    EXPECT_EQ(r.text(kSortBySize), "");
    EXPECT_EQ(r.length, 77u);
    EXPECT_EQ(splitExtension("dir.v2/readme").extension, "");
    EXPECT_EQ(splitExtension("dir.v2/readme").base, "dir.v2/readme");
    EXPECT_EQ(splitExtension("a.").extension, "");
    EXPECT_EQ(splitExtension("a.").base, "a");
    e.archiveFileName.clear();
    EXPECT_EQ(decoderText(e, services), "JPEG");
}

class DocumentSortTest : public ::testing::Test, public test::DocFixture {
protected:
    void SetUp() override {
        put("b.jpg", "12345");
        put("A.jpg", "123");
        put("d.jpg", "12345");
        put("C.jpg", "1");
        doc.openFolder(folder(), nullptr, false);
        ASSERT_EQ(doc.displayedCount(), 4);
        view.hints.clear();
    }
};

TEST_F(DocumentSortTest, SortingByNameThenSizeSurvivesARescan) {
    SortState state;
    ASSERT_TRUE(
        sortDocument(doc, std::vector<SortKey>{state.sort(kSortByName, 1)}, services, nullptr));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"A.jpg", "b.jpg", "C.jpg", "d.jpg"}));
    EXPECT_EQ(view.numbers(), (std::vector<int>{hint::kRedrawAll}));
    ASSERT_TRUE(
        sortDocument(doc, std::vector<SortKey>{state.sort(kSortBySize, 2)}, services, nullptr));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"b.jpg", "d.jpg", "A.jpg", "C.jpg"}));

    doc.refresh(false);
    ASSERT_TRUE(sortDocument(doc, state.reapply(), services, nullptr));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"b.jpg", "d.jpg", "A.jpg", "C.jpg"}));
    // A view that asks for the order is not told again.
    view.hints.clear();
    ASSERT_TRUE(sortDocument(doc, std::vector<SortKey>{{kSortByName, 2}}, services, &view));
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(displayed(), (std::vector<std::string>{"d.jpg", "C.jpg", "b.jpg", "A.jpg"}));
}

TEST_F(DocumentSortTest, OrderIsTakenOnlyWhenItHoldsEachDisplayedEntryOnce) {
    const std::vector<int> before{doc.entryIndexAt(0), doc.entryIndexAt(1), doc.entryIndexAt(2),
                                  doc.entryIndexAt(3)};
    EXPECT_FALSE(doc.setDisplayOrder(std::vector<int>{0, 1, 2}, nullptr));
    EXPECT_FALSE(doc.setDisplayOrder(std::vector<int>{0, 1, 2, 2}, nullptr));
    EXPECT_FALSE(doc.setDisplayOrder(std::vector<int>{0, 1, 2, 4}, nullptr));
    EXPECT_FALSE(doc.setDisplayOrder(std::vector<int>{0, 1, 2, -1}, nullptr));
    EXPECT_TRUE(view.hints.empty());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(doc.entryIndexAt(i), before[static_cast<std::size_t>(i)]);

    // A removed entry stays in the entry list but may not come back.
    const int removed = doc.entryIndexAt(3);
    doc.removeEntry(3);
    EXPECT_FALSE(doc.setDisplayOrder(std::vector<int>{before[0], before[1], removed}, nullptr));
    EXPECT_FALSE(doc.isScanning());

    // The focus and the handed-out entry follow their entries.
    doc.setFocus(0);
    const std::string focused = doc.entryAt(0)->fileName;
    ASSERT_TRUE(doc.setDisplayOrder(std::vector<int>{before[2], before[1], before[0]}, nullptr));
    EXPECT_EQ(doc.focusedPosition(), 2);
    EXPECT_EQ(doc.entryAt(2)->fileName, focused);
    EXPECT_TRUE(doc.entryAt(2)->isFocused());
    EXPECT_EQ(doc.entryAt(0)->fileName, displayed().front());
    EXPECT_FALSE(doc.isScanning());
}

TEST(DocumentSort, AnEmptyFolderSortsToNothing) {
    test::DocFixture f;
    f.doc.openFolder(f.folder(), nullptr, false);
    EXPECT_TRUE(sortDocument(f.doc, std::vector<SortKey>{{kSortByName, 1}}, f.services, nullptr));
    EXPECT_EQ(f.doc.displayedCount(), 0);
}

} // namespace
} // namespace vemra
