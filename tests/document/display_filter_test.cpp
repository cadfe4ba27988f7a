#include "document/display_filter_form.h"
#include "folder_document_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <utime.h>

namespace vemra {
namespace {

using Check = DisplayFilterForm::Check;

class FilterFormTest : public ::testing::Test {
protected:
    test::TempDir dir;
    SettingsStore store{dir.file("s.ini")};
};

TEST_F(FilterFormTest, LoadsHistoriesDaysAndUnits) {
    DisplayFilterForm fresh = DisplayFilterForm::load(store, DocumentOptions{});
    EXPECT_FALSE(fresh.useMask || fresh.dateOn || fresh.sizeOn);
    EXPECT_EQ(fresh.maskText, "*.*");
    EXPECT_TRUE(fresh.masks.empty());
    EXPECT_EQ(fresh.dateFrom, QDate::currentDate()); // never stored: today
    EXPECT_EQ(fresh.dateTo, QDate::currentDate());
    EXPECT_EQ(fresh.sizeBeginText, "");
    EXPECT_EQ(fresh.check(), Check::Accepted);

    store.putText("Filter", "Filter0", "*.jpg");
    store.putText("Filter", "Filter3", "a*.png");
    store.putText("Filter", "Filter10", "never read");
    store.putText("Filter", "SizeBegin0", "10");
    store.putText("Filter", "SizeBegin1", "20");
    store.putText("Filter", "SizeEnd0", "1");
    store.putInt("Filter", "UnitBegin", 1);
    store.putInt("Filter", "UnitEnd", 9);
    const QDate day(2024, 3, 10);
    store.putInt64("Filter", "DateBegin", day.startOfDay().toSecsSinceEpoch() + 3600);
    store.putText("Filter", "DateEnd", "999999999999999999");
    DocumentOptions options;
    options.pathMask = "*.gif";
    options.filterFileName = true;
    options.filterFileSize = true;
    const DisplayFilterForm form = DisplayFilterForm::load(store, options);
    EXPECT_TRUE(form.useMask);
    EXPECT_TRUE(form.sizeOn);
    EXPECT_FALSE(form.dateOn);
    EXPECT_EQ(form.maskText, "*.gif");
    EXPECT_EQ(form.masks, (std::vector<std::string>{"*.jpg", "a*.png"}));
    EXPECT_EQ(form.dateFrom, day);
    EXPECT_EQ(form.dateTo, QDate::currentDate()); // beyond any calendar: today
    EXPECT_EQ(form.sizeBeginItems, (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(form.sizeBeginText, "10");
    EXPECT_EQ(form.sizeEndText, "1");
    EXPECT_EQ(form.unitBegin, 1);
    EXPECT_EQ(form.unitEnd, 2); // clamped to "MB"
    EXPECT_EQ(form.filter().sizeMinimum, 10 * 1024);
    EXPECT_EQ(form.filter().sizeMaximum, 1024 * 1024);
}

TEST_F(FilterFormTest, InvertedRangesKeepTheDialogOpenOnlyWhileSwitchedOn) {
    DisplayFilterForm form = DisplayFilterForm::load(store, DocumentOptions{});
    form.dateFrom = QDate(2024, 5, 2);
    form.dateTo = QDate(2024, 5, 1);
    EXPECT_EQ(form.check(), Check::Accepted); // date filter off: the days do not matter
    form.dateOn = true;
    EXPECT_EQ(form.check(), Check::DateRangeInverted);
    EXPECT_EQ(form.accept(store), std::nullopt);
    EXPECT_TRUE(store.keyNames("Filter").empty()); // nothing written
    form.dateTo = form.dateFrom;                   // one day is a valid range
    EXPECT_EQ(form.check(), Check::Accepted);

    form.sizeBeginText = "2";
    form.unitBegin = 1; // 2 KB
    form.sizeEndText = "2047";
    form.unitEnd = 0;
    EXPECT_EQ(form.check(), Check::Accepted); // size filter off
    form.sizeOn = true;
    EXPECT_EQ(form.check(), Check::SizeRangeInverted);
    EXPECT_EQ(form.accept(store), std::nullopt);
    form.sizeEndText = "2048";
    EXPECT_EQ(form.check(), Check::Accepted);
    // Huge sizes saturate instead of wrapping round to small ones.
    form.sizeBeginText = "9000000000000000000";
    form.unitBegin = 2;
    EXPECT_EQ(form.check(), Check::SizeRangeInverted);
    form.sizeEndText = "-9000000000000000000";
    form.unitEnd = 2;
    form.sizeBeginText = "0";
    EXPECT_EQ(form.check(), Check::SizeRangeInverted);
}

TEST_F(FilterFormTest, AcceptWritesTheSettingsTheNextStartReadsBack) {
    DisplayFilterForm form = DisplayFilterForm::load(store, DocumentOptions{});
    form.masks = {"*.png", "*.JPG", "a", "b", "c", "d", "e", "f", "g", "h"};
    form.useMask = true;
    form.maskText = "*.jpg";
    form.dateOn = true;
    form.dateFrom = QDate(2023, 12, 31);
    form.dateTo = QDate(2024, 1, 1);
    form.sizeOn = true;
    form.sizeBeginItems = {"5", "10"};
    form.sizeBeginText = "10";
    form.unitBegin = 1;
    form.sizeEndText = "3"; // typed, not an item yet
    form.unitEnd = 2;
    const auto filter = form.accept(store);
    ASSERT_TRUE(filter);
    EXPECT_TRUE(filter->active());
    EXPECT_EQ(filter->mask, "*.jpg");
    EXPECT_EQ(filter->dateFrom, QDate(2023, 12, 31).startOfDay().toSecsSinceEpoch());
    EXPECT_EQ(filter->dateTo, QDate(2024, 1, 2).startOfDay().toSecsSinceEpoch() - 1);
    EXPECT_EQ(filter->sizeMinimum, 10240);
    EXPECT_EQ(filter->sizeMaximum, 3 * 1024 * 1024);

    // The mask moved to the top, its other-case twin gone, ten kept.
    EXPECT_EQ(store.getText("Filter", "Filter0"), "*.jpg");
    EXPECT_EQ(store.getText("Filter", "Filter1"), "*.png");
    EXPECT_EQ(store.getText("Filter", "Filter2"), "a");
    EXPECT_EQ(store.getText("Filter", "Filter9"), "h");
    EXPECT_EQ(store.getText("Filter", "SizeBegin0"), "10");
    EXPECT_EQ(store.getText("Filter", "SizeBegin1"), "5");
    EXPECT_EQ(store.getText("Filter", "SizeBegin2"), "");
    EXPECT_EQ(store.getText("Filter", "SizeEnd0"), "3");
    EXPECT_EQ(store.getInt("Filter", "UnitEnd", -1), 2);
    EXPECT_EQ(store.getInt("Filter", "FileName", -1), 1);
    EXPECT_EQ(store.getInt("Filter", "FileDate", -1), 1);
    EXPECT_EQ(store.getInt("Filter", "FileSize", -1), 1);

    // The next start's options hold the same filter (the mask comes from
    // the document's own PathMask, which the document writes).
    DocumentOptions next = DocumentOptions::load(store);
    next.pathMask = filter->mask;
    EXPECT_EQ(DisplayFilter::fromOptions(next), *filter);

    // Masks off: the document scans every file, the typed mask is remembered.
    form.useMask = false;
    form.maskText = "*.bmp";
    EXPECT_EQ(form.accept(store)->mask, "*.*");
    EXPECT_EQ(store.getText("Filter", "Filter0"), "*.bmp");
    EXPECT_EQ(store.getText("Filter", "FileName"), "0");
    // An empty mask does not enter the history.
    form.useMask = true;
    form.maskText.clear();
    EXPECT_EQ(form.accept(store)->mask, "*.*");
    EXPECT_EQ(store.getText("Filter", "Filter0"), "*.bmp");
}

TEST_F(FilterFormTest, ReleaseSwitchesEverythingOff) {
    DisplayFilterForm form = DisplayFilterForm::load(store, DocumentOptions{});
    form.useMask = form.dateOn = form.sizeOn = true;
    form.maskText = "*.png";
    form.dateTo = form.dateFrom.addDays(-3); // an inverted range does not stop 解除
    const DisplayFilter f = form.release(store);
    EXPECT_FALSE(f.active());
    EXPECT_EQ(f.mask, "*.*");
    EXPECT_EQ(store.getInt("Filter", "FileName", -1), 0);
    EXPECT_EQ(store.getInt("Filter", "FileDate", -1), 0);
    EXPECT_EQ(store.getInt("Filter", "FileSize", -1), 0);
}

void setTime(const std::string& path, std::int64_t seconds) {
    utimbuf times{static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

class FilterScanTest : public ::testing::Test, public test::DocFixture {};

TEST_F(FilterScanTest, OneDayRangeKeepsTheWholeDay) {
    const QDate day(2024, 3, 10);
    const std::int64_t start = day.startOfDay().toSecsSinceEpoch();
    const std::int64_t end = day.addDays(1).startOfDay().toSecsSinceEpoch() - 1;
    const std::pair<const char*, std::int64_t> files[] = {
        {"before.jpg", start - 1}, {"first.jpg", start}, {"last.jpg", end}, {"after.jpg", end + 1}};
    for (const auto& [name, time] : files) {
        put(name);
        setTime(dir.file(name), time);
    }
    doc.openFolder(folder(), nullptr, false);
    ASSERT_EQ(doc.displayedCount(), 4);

    test::TempDir settingsDir;
    SettingsStore store(settingsDir.file("s.ini"));
    DisplayFilterForm form = DisplayFilterForm::load(store, doc.options());
    form.dateOn = true;
    form.dateFrom = form.dateTo = day;
    const auto filter = form.accept(store);
    ASSERT_TRUE(filter);
    view.hints.clear();
    EXPECT_TRUE(doc.applyDisplayFilter(*filter));
    EXPECT_EQ(view.numbers(), (std::vector<int>{hint::kListEmptied, hint::kScanFinished}));
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"first.jpg", "last.jpg"}));

    // The same filter again changes nothing and scans nothing.
    view.hints.clear();
    EXPECT_FALSE(doc.applyDisplayFilter(*filter));
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(FilterScanTest, SizeRangeInUnitsKeepsBothEnds) {
    for (const auto& [name, size] : std::initializer_list<std::pair<const char*, std::size_t>>{
             {"small.jpg", 10239}, {"min.jpg", 10240}, {"max.jpg", 1048576}, {"big.jpg", 1048577}})
        put(name, std::string(size, 'x'));
    doc.openFolder(folder(), nullptr, false);
    ASSERT_EQ(doc.displayedCount(), 4);

    test::TempDir settingsDir;
    SettingsStore store(settingsDir.file("s.ini"));
    DisplayFilterForm form = DisplayFilterForm::load(store, doc.options());
    form.sizeOn = true;
    form.sizeBeginText = "10";
    form.unitBegin = 1;
    form.sizeEndText = "1";
    form.unitEnd = 2;
    EXPECT_TRUE(doc.applyDisplayFilter(*form.accept(store)));
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"max.jpg", "min.jpg"}));

    // Masks: the filter's mask becomes the document's mask and PathMask.
    form.release(store);
    form.useMask = true;
    form.maskText = "m*.jpg;b*";
    EXPECT_TRUE(doc.applyDisplayFilter(*form.accept(store)));
    EXPECT_EQ(doc.currentMask(), "m*.jpg;b*");
    EXPECT_EQ(doc.options().pathMask, "m*.jpg;b*");
    EXPECT_EQ(displayedSorted(), (std::vector<std::string>{"big.jpg", "max.jpg", "min.jpg"}));
    EXPECT_TRUE(doc.applyDisplayFilter(form.release(store)));
    EXPECT_EQ(doc.displayedCount(), 4);
}

TEST(DisplayFilter, WithoutAFolderNothingIsScanned) {
    test::DocFixture f;
    DisplayFilter filter;
    filter.useMask = true;
    filter.mask = "*.png";
    EXPECT_TRUE(f.doc.applyDisplayFilter(filter));
    EXPECT_TRUE(f.view.hints.empty());
    EXPECT_EQ(f.doc.currentMask(), "*.png");
    EXPECT_TRUE(f.doc.options().filterFileName);
}

} // namespace
} // namespace vemra
