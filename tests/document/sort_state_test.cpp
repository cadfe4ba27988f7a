#include "../imaging/test_support.h"
#include "document/sort_state.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vemra {
namespace {

using S = SortState;

std::vector<SortKey> keysOf(const SortHistory& h) {
    return {h.keys().begin(), h.keys().end()};
}

TEST(SortKey, PacksColumnAndCodeAndRefusesWhatNoColumnHas) {
    EXPECT_EQ((SortKey{kSortByPixels, 8}.packed()), 4u + 8u * 65536u);
    EXPECT_EQ(SortKey::unpack(65536u * 2 + 9), (SortKey{kSortByFolder, 2}));
    EXPECT_EQ(SortKey::unpack(0), (SortKey{kSortByName, 0}));
    EXPECT_EQ(SortKey::unpack(10), std::nullopt);               // no column 10
    EXPECT_EQ(SortKey::unpack(65536u * 3), std::nullopt);       // names have codes 0..2
    EXPECT_EQ(SortKey::unpack(65536u * 9 + 4), std::nullopt);   // pixels have 0..8
    EXPECT_EQ(SortKey::unpack(0x1'0000'0000ull), std::nullopt); // beyond 32 bits
    EXPECT_EQ(SortKey::unpack(0xFFFF'FFFFull), std::nullopt);
    EXPECT_EQ(sortCodeCount(kSortByPixels), 9);
    EXPECT_EQ(sortCodeCount(kSortByNote), 3);
    EXPECT_EQ(sortCodeCount(-1), 0);
    EXPECT_EQ(sortCodeCount(10), 0);
}

TEST(SortKey, RequestsCycleAndKeepTheDirectionAcrossColumns) {
    // Heading clicks: plain -> ascending -> descending -> plain.
    EXPECT_EQ(sortCodeForRequest(kSortByName, 0, -1), 1);
    EXPECT_EQ(sortCodeForRequest(kSortByName, 1, -1), 2);
    EXPECT_EQ(sortCodeForRequest(kSortByName, 2, -1), 0);
    EXPECT_EQ(sortCodeForRequest(kSortByPixels, 8, -1), 0);
    EXPECT_EQ(sortCodeForRequest(kSortByPixels, 5, -1), 6);
    EXPECT_EQ(sortCodeForRequest(kSortByName, 17, -1), 0); // a damaged present code
    // A positive request folds onto the column's codes, odd staying odd.
    EXPECT_EQ(sortCodeForRequest(kSortBySize, 0, 4), 2);
    EXPECT_EQ(sortCodeForRequest(kSortBySize, 0, 7), 1);
    EXPECT_EQ(sortCodeForRequest(kSortByPixels, 0, 7), 7);
    EXPECT_EQ(sortCodeForRequest(kSortByPixels, 0, 10), 2);
    EXPECT_EQ(sortCodeForRequest(kSortByName, 2, 0), 0);
    EXPECT_EQ(sortCodeForRequest(99, 0, 1), 0);
}

TEST(SortKey, HeadingsFollowTheCode) {
    EXPECT_EQ(sortHeading(kSortByName, 0), " ﾌｧｲﾙ名");
    EXPECT_EQ(sortHeading(kSortByName, 2), " ﾌｧｲﾙ名-");
    EXPECT_EQ(sortHeading(kSortBySize, 1), "ｻｲｽﾞ+ ");
    EXPECT_EQ(sortHeading(kSortByPixels, 8), " 画素-wxh");
    EXPECT_EQ(sortHeading(kSortByNote, 1), "Note+");
    EXPECT_EQ(sortHeading(kSortByFolder, 5), "ﾌｫﾙﾀﾞ名"); // no such code: plain title
    EXPECT_EQ(sortHeading(12, 1), "");
}

TEST(SortHistory, NewestFirstOnePerColumnAtMostTen) {
    SortHistory h;
    h.push({kSortByName, 1});
    h.push({kSortBySize, 2});
    h.push({kSortByName, 2}); // the same column again moves to the front
    EXPECT_EQ(keysOf(h), (std::vector<SortKey>{{kSortByName, 2}, {kSortBySize, 2}}));
    h.push({kSortByName, 5}); // invalid: ignored
    h.push({11, 1});
    EXPECT_EQ(h.keys().size(), 2u);

    SortHistory full;
    for (int column = 0; column < kSortColumnCount; ++column)
        full.push({column, 1});
    EXPECT_EQ(full.keys().size(), 10u);
    EXPECT_EQ(full.newest(), (SortKey{kSortByFolder, 1}));
    EXPECT_EQ(full.keys().back(), (SortKey{kSortByName, 1}));
    full.push({kSortByName, 2});
    EXPECT_EQ(full.keys().size(), 10u);
    EXPECT_EQ(full.newest(), (SortKey{kSortByName, 2}));
    EXPECT_EQ(full.keys().back(), (SortKey{kSortByExtension, 1}));
    EXPECT_EQ(SortHistory().newest(), SortKey{});
}

TEST(SortHistory, StoredTextRoundTripsAndHostileValuesAreSkipped) {
    SortHistory h;
    h.push({kSortByPixels, 7});
    h.push({kSortBySize, 1});
    h.push({kSortByNote, 2});
    EXPECT_EQ(h.format(), "131080,65538,458756");
    EXPECT_EQ(SortHistory::parse(h.format()), h);

    test::TempDir dir;
    SettingsStore store(dir.file("s.ini"));
    h.save(store);
    EXPECT_EQ(store.getText("LstView", "SortHistory"), "131080,65538,458756");
    EXPECT_EQ(SortHistory::load(store), h);
    SettingsStore none(dir.file("none.ini"));
    EXPECT_TRUE(SortHistory::load(none).empty());

    // Garbage, unknown columns and codes, numbers beyond 32 and 64 bits,
    // negative values and a repeated column are passed over.
    const SortHistory odd = SortHistory::parse(
        " 65538 ,abc,,12,65536x,-65537,4294967296,99999999999999999999999,196608,"
        "\"131073\",65537,589828,524292");
    EXPECT_EQ(keysOf(odd),
              (std::vector<SortKey>{{kSortBySize, 1}, {kSortByExtension, 2}, {kSortByPixels, 8}}));
    // More than ten valid keys: the first ten count.
    std::string many;
    for (int column = 0; column < 10; ++column)
        many += std::to_string(65536 + column) + ",";
    many += "131072";
    EXPECT_EQ(SortHistory::parse(many).keys().size(), 10u);
    EXPECT_EQ(SortHistory::parse(many).keys().front(), (SortKey{kSortByName, 1}));
    EXPECT_TRUE(SortHistory::parse("").empty());
}

TEST(SortState, HeadingClicksCycleAndFillTheHistory) {
    SortState s;
    EXPECT_EQ(s.headingClicked(kSortByName), (SortKey{kSortByName, 1}));
    EXPECT_EQ(s.heading(kSortByName), " ﾌｧｲﾙ名+");
    EXPECT_EQ(s.headingClicked(kSortByName), (SortKey{kSortByName, 2}));
    EXPECT_EQ(s.headingClicked(kSortByName), (SortKey{kSortByName, 0}));
    EXPECT_EQ(s.heading(kSortByName), " ﾌｧｲﾙ名");
    // A new column starts from its plain state; the older key stays second.
    s.headingClicked(kSortByName);
    EXPECT_EQ(s.headingClicked(kSortBySize), (SortKey{kSortBySize, 1}));
    EXPECT_EQ(keysOf(s.history()), (std::vector<SortKey>{{kSortBySize, 1}, {kSortByName, 1}}));
    EXPECT_EQ(s.heading(kSortByName), " ﾌｧｲﾙ名"); // only the sorted column shows its state
    EXPECT_EQ(s.heading(kSortBySize), "ｻｲｽﾞ+ ");
    // Nine clicks on the pixel heading go round all its states.
    std::vector<int> codes;
    for (int i = 0; i < 9; ++i)
        codes.push_back(s.headingClicked(kSortByPixels).code);
    EXPECT_EQ(codes, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    EXPECT_EQ(s.heading(kSortByPixels), " 画素");
    EXPECT_EQ(s.sort(42, 1), (SortKey{kSortByPixels, 0})); // no such column: nothing changes
}

TEST(SortState, ReapplyingMakesTheNewestKeyCurrent) {
    SortHistory h;
    h.push({kSortByName, 1});
    h.push({kSortByDate, 2});
    SortState s(h);
    EXPECT_EQ(s.current(), (SortKey{kSortByDate, 2}));
    s.sort(kSortByName, 2);
    EXPECT_EQ(s.reapply(), (std::vector<SortKey>{{kSortByName, 2}, {kSortByDate, 2}}));
    EXPECT_EQ(s.current(), (SortKey{kSortByName, 2}));
    EXPECT_TRUE(SortState().reapply().empty());
    EXPECT_EQ(SortState().current(), SortKey{});

    test::TempDir dir;
    SettingsStore store(dir.file("s.ini"));
    s.save(store);
    EXPECT_EQ(SortState::load(store).history(), s.history());
    EXPECT_EQ(SortState::load(store).current(), (SortKey{kSortByName, 2}));
}

TEST(SortState, MenuCommandsRequestAndCheckByThePresentKey) {
    SortState s;
    EXPECT_TRUE(S::handlesCommand(S::kCmdSortByArea));
    EXPECT_TRUE(S::handlesCommand(S::kCmdResort));
    EXPECT_FALSE(S::handlesCommand(10141));
    EXPECT_FALSE(s.commandEnabled(10113));
    EXPECT_TRUE(s.commandEnabled(S::kCmdSortNone));
    EXPECT_TRUE(s.applyCommand(10141).empty());

    EXPECT_TRUE(s.commandChecked(S::kCmdSortNone));
    EXPECT_FALSE(s.commandChecked(S::kCmdSortByName));
    EXPECT_FALSE(s.commandChecked(S::kCmdAscending));
    EXPECT_FALSE(s.commandChecked(S::kCmdDescending));

    // Unsorted: a column command sorts ascending.
    EXPECT_EQ(s.applyCommand(S::kCmdSortBySize), (std::vector<SortKey>{{kSortBySize, 1}}));
    EXPECT_TRUE(s.commandChecked(S::kCmdSortBySize));
    EXPECT_FALSE(s.commandChecked(S::kCmdSortNone));
    EXPECT_TRUE(s.commandChecked(S::kCmdAscending));
    // Descending, then another column keeps the direction.
    s.applyCommand(S::kCmdDescending);
    EXPECT_EQ(s.current(), (SortKey{kSortBySize, 2}));
    EXPECT_TRUE(s.commandChecked(S::kCmdDescending));
    s.applyCommand(S::kCmdSortByName);
    EXPECT_EQ(s.current(), (SortKey{kSortByName, 2}));
    EXPECT_FALSE(s.commandChecked(S::kCmdSortBySize));
    s.applyCommand(S::kCmdSortByHeight);
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 4}));
    EXPECT_TRUE(s.commandChecked(S::kCmdSortByHeight));
    EXPECT_FALSE(s.commandChecked(S::kCmdSortByWidth));
    s.applyCommand(S::kCmdAscending); // "画素-h" -> "画素+h"
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 3}));
    s.applyCommand(S::kCmdDescending); // "画素+h" -> "画素-h"
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 4}));
    EXPECT_EQ(s.heading(kSortByPixels), " 画素-h");
    s.applyCommand(S::kCmdSortByArea); // stays descending
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 8}));
    EXPECT_TRUE(s.commandChecked(S::kCmdSortByArea));
    s.applyCommand(S::kCmdSortByColours);
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 6}));
    s.applyCommand(S::kCmdSortByArchive); // from a pixel code: even stays descending
    EXPECT_EQ(s.current(), (SortKey{kSortByArchive, 2}));
    s.applyCommand(S::kCmdAscending);
    s.applyCommand(S::kCmdSortByWidth);
    EXPECT_EQ(s.current(), (SortKey{kSortByPixels, 1}));
    EXPECT_TRUE(s.commandChecked(S::kCmdSortByWidth));
    s.applyCommand(S::kCmdSortByDate);
    EXPECT_EQ(s.current(), (SortKey{kSortByDate, 1}));
    s.applyCommand(S::kCmdSortByExt);
    EXPECT_EQ(s.current(), (SortKey{kSortByExtension, 1}));

    // Re-sorting orders by the whole history, the present key deciding.
    const std::vector<SortKey> resort = s.applyCommand(S::kCmdResort);
    EXPECT_EQ(resort, keysOf(s.history()));
    EXPECT_EQ(resort.front(), (SortKey{kSortByExtension, 1}));
    EXPECT_FALSE(s.commandChecked(S::kCmdResort));

    // "ソートしない" sorts the name column by scan order.
    EXPECT_EQ(s.applyCommand(S::kCmdSortNone), (std::vector<SortKey>{{kSortByName, 0}}));
    EXPECT_TRUE(s.commandChecked(S::kCmdSortNone));
    EXPECT_FALSE(s.commandChecked(S::kCmdSortByName));
    // Ascending and descending from scan order start the present column.
    s.applyCommand(S::kCmdDescending);
    EXPECT_EQ(s.current(), (SortKey{kSortByName, 2}));
    s.applyCommand(S::kCmdSortNone);
    s.applyCommand(S::kCmdAscending);
    EXPECT_EQ(s.current(), (SortKey{kSortByName, 1}));
    EXPECT_EQ(s.history().keys().size(), 6u); // size, name, pixels, archive, date, extension
}

} // namespace
} // namespace vemra
