#include "document/display_filter_form.h"
#include "folder_document_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <filesystem>

namespace vemra {
namespace {

using Check = DisplayFilterForm::Check;

class FilterFormTest : public ::testing::Test {
protected:
    test::TempDir dir;
    SettingsStore store{dir.file("s.ini")};
};

TEST_F(FilterFormTest, LoadsHistoriesDaysAndUnits) {
    // "Today" is read inside the call: a run over midnight sees either day.
    const QDate firstDay = QDate::currentDate();
    const auto isToday = [&](const QDate& date) {
        return date == firstDay || date == QDate::currentDate();
    };
    DisplayFilterForm fresh = DisplayFilterForm::load(store, DocumentOptions{});
    EXPECT_FALSE(fresh.useMask || fresh.dateOn || fresh.sizeOn);
    EXPECT_EQ(fresh.maskText, "*.*");
    EXPECT_TRUE(fresh.masks.empty());
    EXPECT_TRUE(isToday(fresh.dateFrom)) << fresh.dateFrom.toString().toStdString(); // never stored
    EXPECT_TRUE(isToday(fresh.dateTo)) << fresh.dateTo.toString().toStdString();
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
    EXPECT_TRUE(isToday(form.dateTo))
        << form.dateTo.toString().toStdString(); // beyond any calendar
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

// --- a filter applied to the entries of the last scan

// Folders whose names last changed a minute ago: a filter may then go by
// what the last scan found.
void settleFolders(const std::filesystem::path& root) {
    const auto old = std::chrono::system_clock::now() - std::chrono::minutes(1);
    const timespec when{static_cast<time_t>(std::chrono::system_clock::to_time_t(old)), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, root.c_str(), times, 0), 0);
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        if (item.is_directory()) {
            ASSERT_EQ(utimensat(AT_FDCWD, item.path().c_str(), times, 0), 0);
        }
    }
}

// Each displayed entry as folder, archive and name, in display order.
std::vector<std::string> listing(FolderDocument& doc) {
    std::vector<std::string> out;
    for (int i = 0; i < doc.displayedCount(); ++i) {
        const PictureSource* e = doc.entryAt(i);
        out.push_back(e->folder + "|" + e->archiveFileName + "|" + e->fileName);
    }
    return out;
}

struct FolderCase {
    const char* label;
    bool subFolders;
    bool archives;
    bool scanSpi;
    bool extensionOnly;
};

DisplayFilter maskFilter(const char* mask) {
    DisplayFilter f;
    f.useMask = true;
    f.mask = mask;
    return f;
}

// Applying a filter to the entries at hand lists what a scan with that
// filter lists, in the same order, over folders with sub-folders, archives
// and identification, and through a chain of filters that narrow and widen;
// the disk is not asked again while the folders are unchanged.
TEST(FilterInMemory, ListsWhatAScanWithTheFilterLists) {
    const std::int64_t day = 86400;
    const std::int64_t base = 1'700'000'000;
    std::vector<DisplayFilter> chain;
    chain.push_back(maskFilter("*.jpg"));
    chain.push_back(maskFilter("b*;*.PNG,a*")); // several masks: grouped by the first that takes
    chain.push_back(maskFilter(" *.jpg ; *.jpg"));
    chain.push_back(maskFilter("*.arc")); // an archive's members go by the archive's name
    chain.push_back(maskFilter("nothing*"));
    DisplayFilter dated;
    dated.dateOn = true;
    dated.dateFrom = base + day;
    dated.dateTo = base + 3 * day;
    chain.push_back(dated);
    DisplayFilter sized;
    sized.sizeOn = true;
    sized.sizeMinimum = 3;
    sized.sizeMaximum = 40;
    chain.push_back(sized);
    DisplayFilter both = sized;
    both.dateOn = true;
    both.dateFrom = base;
    both.dateTo = base + 2 * day;
    both.useMask = true;
    both.mask = "*.jpg;*.arc";
    chain.push_back(both);
    chain.push_back(DisplayFilter{}); // released: everything again

    const FolderCase cases[] = {{"flat", false, false, false, false},
                                {"sub-folders", true, false, false, false},
                                {"archives", false, true, false, false},
                                {"identified", true, true, true, false},
                                {"extension lists", true, true, true, true}};
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.label);
        test::DocFixture f;
        const std::pair<const char*, std::size_t> files[] = {
            {"a.jpg", 1},     {"B.JPG", 5},           {"b2.png", 12},
            {"c.txt", 30},    {"empty.jpg", 0},       {"zz.bmp", 41},
            {"sub/a.jpg", 4}, {"sub/deep/b.png", 20}, {"sub/notes.txt", 7}};
        for (const auto& [name, size] : files)
            f.put(name, std::string(size, 'x'));
        f.put("set.arc", "m1.jpg 10 1700000000\nm2.txt 20 1700000000\nbm.png 30 1700000000\n");
        f.put("sub/more.arc", "x.png 5 1700000000\n");
        f.put("broken.arc", "BROKEN\n");
        std::int64_t when = base;
        for (const auto& item : std::filesystem::recursive_directory_iterator(f.dir.path())) {
            if (item.is_regular_file()) {
                setTime(item.path().string(), when);
                when += day / 2;
            }
        }
        settleFolders(f.dir.path());

        auto configure = [&](FolderDocument& doc) {
            doc.options().downScan = c.subFolders;
            doc.options().archive = c.archives;
            doc.options().scanSpi = c.scanSpi;
            doc.options().pathMask = "*.*";
        };
        f.services.extensionOnly = c.extensionOnly;
        configure(f.doc);
        f.doc.openFolder(f.folder(), nullptr, false);
        ASSERT_GT(f.doc.displayedCount(), 3);
        for (const DisplayFilter& filter : chain) {
            SCOPED_TRACE(filter.mask + " date " + std::to_string(filter.dateOn) + " size " +
                         std::to_string(filter.sizeOn));
            const int askedBefore = f.services.identifyCalls;
            f.view.hints.clear();
            EXPECT_TRUE(f.doc.applyDisplayFilter(filter));
            EXPECT_EQ(f.view.numbers(),
                      (std::vector<int>{hint::kListEmptied, hint::kScanFinished}));
            if (c.scanSpi) { // not identified again: the entries were at hand
                EXPECT_EQ(f.services.identifyCalls, askedBefore);
            }

            ThumbCache cache;
            FolderDocument scanned(f.services, cache);
            configure(scanned);
            filter.applyTo(scanned.options());
            scanned.openFolder(f.folder(), nullptr, false);
            EXPECT_EQ(listing(f.doc), listing(scanned));
            EXPECT_EQ(f.doc.currentMask(), scanned.currentMask());
        }
    }
}

class FilterInMemoryTest : public ::testing::Test, public test::DocFixture {
protected:
    void SetUp() override {
        for (const char* name : {"a.jpg", "b.png", "c.jpg", "d.png"})
            put(name);
        settleFolders(dir.path());
        doc.options().scanSpi = true;
        doc.openFolder(folder(), nullptr, false);
        ASSERT_EQ(doc.displayedCount(), 4);
    }
};

// Entries a filter leaves listed keep their selection; those it held back
// come back unselected, as new entries of a scan would, but they are the
// same entries, with what was learnt about their pictures.
TEST_F(FilterInMemoryTest, SelectionStaysWithListedEntriesAndHeldOnesComeBackUnselected) {
    for (int i = 0; i < 4; ++i)
        doc.setSelected(i, PictureSource::kSelected);
    PictureSource* b = doc.entryAt(1);
    b->infoText = "learnt";
    ASSERT_EQ(doc.selectedCount(false), 4);

    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("*.jpg")));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"a.jpg", "c.jpg"}));
    EXPECT_EQ(doc.selectedCount(false), 2);
    EXPECT_TRUE(removed.empty()); // nothing destroyed, no cache record dropped

    EXPECT_TRUE(doc.applyDisplayFilter(DisplayFilter{}));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"a.jpg", "b.png", "c.jpg", "d.png"}));
    EXPECT_EQ(doc.selectedCount(false), 2);
    EXPECT_EQ(doc.entryAt(1), b);
    EXPECT_EQ(b->infoText, "learnt");
    EXPECT_FALSE(b->isSelected());
    EXPECT_TRUE(doc.entryAt(0)->isSelected());
}

// A folder whose names changed since the scan is scanned again: the filter
// then sees the file added and not the one removed (the entries it turns
// away go, as in any scan). A filter wider than the last scan's is scanned.
TEST_F(FilterInMemoryTest, ChangedFolderOrWiderFilterScansAgain) {
    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("*.jpg")));
    std::filesystem::remove(dir.path() / "a.jpg");
    put("e.jpg", "longer than the others");
    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("*.JPG")));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"c.jpg", "e.jpg"}));
    EXPECT_EQ(removed, (std::vector<std::string>{"a.jpg", "b.png", "d.png"}));

    settleFolders(dir.path());
    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("*.jpg"))); // scanned: the folder changed
    const int asked = services.identifyCalls;
    DisplayFilter small = maskFilter("*.JPG"); // the scan's own mask, and a size limit
    small.sizeOn = true;
    small.sizeMaximum = 10;
    EXPECT_TRUE(doc.applyDisplayFilter(small));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"c.jpg"}));
    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("*.jpg")));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"c.jpg", "e.jpg"}));
    EXPECT_EQ(services.identifyCalls, asked);
    // "c*" takes fewer names than "*.jpg", but only a scan for every name
    // or for the same masks is gone by.
    EXPECT_TRUE(doc.applyDisplayFilter(maskFilter("c*")));
    EXPECT_GT(services.identifyCalls, asked);
    EXPECT_TRUE(doc.applyDisplayFilter(DisplayFilter{}));
    EXPECT_EQ(displayed(), (std::vector<std::string>{"b.png", "c.jpg", "d.png", "e.jpg"}));
    EXPECT_GT(services.identifyCalls, asked);
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
