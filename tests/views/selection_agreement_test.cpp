// The grid, the details list and the document show one selection and one
// current entry whatever view the user acts in, and each action tells the
// other views once, however many entries it touched.

#include "document/file_operations.h"
#include "document/transfer_data.h"
#include "views/details_list.h"
#include "views/details_list_model.h"
#include "views/thumbnail_grid.h"

#include "views_test_support.h"

#include <QApplication>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numeric>
#include <set>

namespace vemra {
namespace {

constexpr int kPictures = 14;

std::vector<int> range(int first, int last) {
    std::vector<int> out(static_cast<std::size_t>(last - first + 1));
    std::iota(out.begin(), out.end(), first);
    return out;
}

// Counts the selection notices (hints 6 and 8) the other views receive.
class SelectionNotices : public DocumentView {
public:
    void onUpdate(DocumentView*, const UpdateHint& update) override {
        const int number = hintNumber(update);
        if (number == hint::kSelectionChanged || number == hint::kAllSelection)
            ++count;
    }
    int count = 0;
};

class SelectionAgreementTest : public ::testing::Test {
protected:
    SelectionAgreementTest() {
        list = std::make_unique<DetailsList>(*f.document, f.store);
        grid = std::make_unique<ThumbnailGrid>(*f.document);
        list->setGrid(grid.get());
        grid->resize(400, 300);
        grid->show();
        list->resize(600, 300);
        list->show();
        f.document->addView(&notices);
        test::makePictures(f.dir.file("pics"), kPictures);
        f.document->openFolder(f.dir.file("pics"), nullptr, false);
        QApplication::processEvents();
    }
    ~SelectionAgreementTest() override {
        f.document->removeView(&notices);
        grid.reset();
        list.reset();
    }

    void clickCell(int position, Qt::KeyboardModifiers modifiers = {}) {
        grid->scrollToTop(grid->layout().cellRect(position).top());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers,
                          grid->cellRectInView(position).topLeft() + QPoint(20, 20));
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTableView* table = list->table();
        const QModelIndex index = table->model()->index(row, 0);
        table->scrollTo(index);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers,
                          table->visualRect(index).center());
    }
    std::vector<int> listSelection() const {
        std::vector<int> rows;
        for (const QModelIndex& index : list->table()->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    test::DocumentFixture f;
    std::unique_ptr<DetailsList> list;
    std::unique_ptr<ThumbnailGrid> grid;
    SelectionNotices notices;
};

TEST_F(SelectionAgreementTest, EveryActionLeavesOneSelectionAndTellsTheOtherViewsOnce) {
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<int> selected;
        int focus;
        int notices; // selection notices the recorder hears
    };
    const int last = kPictures - 1;
    const Step steps[] = {
        {"click cell 3", [&] { clickCell(3); }, {3}, 3, 1},
        {"Ctrl+click cell 5", [&] { clickCell(5, Qt::ControlModifier); }, {3, 5}, 5, 1},
        {"Shift+click cell 9", [&] { clickCell(9, Qt::ShiftModifier); }, range(5, 9), 9, 1},
        {"Shift+click cell 6 (shrinks)", [&] { clickCell(6, Qt::ShiftModifier); }, {5, 6}, 6, 1},
        {"Shift+click cell 2 (over the anchor)", [&] { clickCell(2, Qt::ShiftModifier); },
         range(2, 5), 2, 1},
        {"Shift+End", [&] { QTest::keyClick(grid.get(), Qt::Key_End, Qt::ShiftModifier); },
         range(5, last), last, 1},
        {"Shift+Home", [&] { QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ShiftModifier); },
         range(0, 5), 0, 1},
        {"Ctrl+Shift+click cell 11 goes on from the anchor",
         [&] { clickCell(11, Qt::ControlModifier | Qt::ShiftModifier); }, range(5, 11), 11, 1},
        {"select all with many selected deselects all",
         [&] { f.document->onCommand(FolderDocument::kCmdSelectAll); },
         {},
         11,
         1},
        {"select all", [&] { f.document->onCommand(FolderDocument::kCmdSelectAll); },
         range(0, last), 11, 1},
        {"a click on a selected cell narrows on release", [&] { clickCell(2); }, {2}, 2, 1},
        {"Space toggles and moves on",
         [&] { QTest::keyClick(grid.get(), Qt::Key_Space); },
         {},
         3,
         1},
        {"click row 4 in the list", [&] { clickRow(4); }, {4}, 4, 1},
        {"Shift+click row 10 in the list", [&] { clickRow(10, Qt::ShiftModifier); }, range(4, 10),
         10, 1},
        {"Ctrl+click row 7 in the list",
         [&] { clickRow(7, Qt::ControlModifier); },
         {4, 5, 6, 8, 9, 10},
         7,
         1},
        {"Ctrl+A in the list",
         [&] {
             list->table()->setFocus();
             QTest::keyClick(list->table(), Qt::Key_A, Qt::ControlModifier);
         },
         range(0, last), 7, 1},
        {"Right in the grid selects one",
         [&] { QTest::keyClick(grid.get(), Qt::Key_Right); },
         {8},
         8,
         1},
        {"a rescan keeps the selection", [&] { f.document->refresh(false); }, {8}, 8, 0},
        {"Shift+click cell 1 after the rescan", [&] { clickCell(1, Qt::ShiftModifier); },
         range(1, 8), 1, 1},
        {"a click on an unselected cell", [&] { clickCell(12); }, {12}, 12, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        notices.count = 0;
        step.act();
        QApplication::processEvents();
        EXPECT_EQ(selectedPositions(*f.document), step.selected);
        EXPECT_EQ(f.document->selectedCount(false), static_cast<int>(step.selected.size()));
        EXPECT_EQ(f.document->selectedCount(false), f.document->selectedCount(true));
        EXPECT_EQ(listSelection(), step.selected);
        EXPECT_EQ(f.document->focusedPosition(), step.focus);
        EXPECT_EQ(list->table()->selectionModel()->currentIndex().row(), step.focus);
        EXPECT_EQ(notices.count, step.notices);
    }
    // The last state as the user sees it, both views side by side.
    test::saveScreenshot(grid->grab().toImage(), "selection-grid.png");
    test::saveScreenshot(list->grab().toImage(), "selection-list.png");
}

// A large folder: select all, a range and a click each send one notice,
// and the list agrees.
TEST_F(SelectionAgreementTest, ThousandsOfEntriesAreOneNoticePerAction) {
    constexpr int kMany = 3000;
    test::makePictures(f.dir.file("many"), kMany, 8, 8);
    f.document->openFolder(f.dir.file("many"), nullptr, false);
    QApplication::processEvents();
    ASSERT_EQ(f.document->displayedCount(), kMany);
    test::HintRecorder hints;
    f.document->addView(&hints);
    f.document->onCommand(FolderDocument::kCmdSelectAll);
    QApplication::processEvents();
    EXPECT_EQ(listSelection().size(), static_cast<std::size_t>(kMany));
    clickCell(0);
    QTest::keyClick(grid.get(), Qt::Key_End, Qt::ShiftModifier);
    clickCell(kMany - 1);
    QApplication::processEvents();
    EXPECT_EQ(listSelection(), std::vector<int>{kMany - 1});
    // Select all, the click that narrows it to cell 0, Shift+End, the click
    // that narrows it to the last cell.
    EXPECT_EQ(std::count(hints.hints.begin(), hints.hints.end(), hint::kAllSelection), 4);
    EXPECT_EQ(std::count(hints.hints.begin(), hints.hints.end(), hint::kSelectionChanged), 0);
    f.document->removeView(&hints);
}

// Entries removed together (a move, a delete, a drag out) leave the list
// in step with the document, whether their rows go run by run or the list
// takes them out in one pass; the selection and the current row stay.
TEST_F(SelectionAgreementTest, RowsOfManyRemovedEntriesGoTogether) {
    constexpr int kMany = 60;
    const struct {
        const char* what;
        std::function<bool(int)> goes;
    } cases[] = {{"two runs", [](int i) { return (i >= 5 && i < 15) || i > 50; }},
                 {"every other entry", [](int i) { return i % 2 == 1; }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = f.dir.file(std::string("removals-") + c.what);
        test::makePictures(folder, kMany, 8, 8);
        f.document->openFolder(folder, nullptr, false);
        QApplication::processEvents();
        ASSERT_EQ(list->model().rowCount(), kMany);
        clickRow(20);
        clickRow(24, Qt::ShiftModifier); // 20..24 selected, 24 current
        std::set<std::string> paths;
        for (int i = 0; i < kMany; ++i) {
            if (c.goes(i)) {
                const std::string path = f.document->entryAt(i)->fullPath();
                paths.insert(path);
                std::filesystem::remove(path);
            }
        }
        const int current = f.document->entryIndexAt(24);
        EXPECT_EQ(removeVanishedEntries(*f.document, paths, nullptr),
                  static_cast<int>(paths.size()));
        QApplication::processEvents();
        ASSERT_EQ(list->model().rowCount(), f.document->displayedCount());
        for (int row = 0; row < f.document->displayedCount(); ++row)
            EXPECT_EQ(list->model().rows()[static_cast<std::size_t>(row)].entryIndex,
                      f.document->entryIndexAt(row))
                << row;
        EXPECT_EQ(listSelection(), selectedPositions(*f.document));
        EXPECT_EQ(f.document->selectedCount(false), f.document->selectedCount(true));
        const int focus = f.document->focusedPosition();
        ASSERT_GE(focus, 0);
        EXPECT_EQ(f.document->entryIndexAt(focus), current);
        EXPECT_EQ(list->table()->selectionModel()->currentIndex().row(), focus);
    }
}

} // namespace
} // namespace vemra
