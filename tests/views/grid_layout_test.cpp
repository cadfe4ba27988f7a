#include "views/grid_layout.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(GridLayoutTest, AnEmptyFolderStillHasOneRowAndOneColumnAndNoScrollRange) {
    const GridLayout g = GridLayout::compute(0, 110, 110, 500, 300);
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(g.rows, 1);
    EXPECT_EQ(g.totalHeight, 110);
    EXPECT_EQ(g.maxTop(), 0);
    EXPECT_EQ(g.barMaximum(), 0);
    EXPECT_EQ(g.hitTest({10, 10}), -1);
    EXPECT_DOUBLE_EQ(g.scale, 1.0);
}

TEST(GridLayoutTest, AWindowNarrowerThanACellShowsOneColumn) {
    const GridLayout g = GridLayout::compute(5, 110, 100, 60, 250);
    EXPECT_EQ(g.columns, 1);
    EXPECT_EQ(g.visibleColumns, 1);
    EXPECT_EQ(g.rows, 5);
    EXPECT_EQ(g.visibleRows, 2);
    EXPECT_EQ(g.page, 200);
    EXPECT_EQ(g.maxTop(), 250);
    EXPECT_EQ(g.cellRect(4), QRect(0, 400, 110, 100));
    // A client area of no size at all is still laid out.
    const GridLayout none = GridLayout::compute(5, 110, 100, 0, 0);
    EXPECT_EQ(none.columns, 1);
    EXPECT_EQ(none.visibleRows, 1);
}

TEST(GridLayoutTest, HitTestFindsTheCellUnderAPointAndNothingOutsideTheCells) {
    // 3 columns of 100 x 80 in a 350-pixel-wide client: 7 entries, 3 rows.
    const GridLayout g = GridLayout::compute(7, 100, 80, 350, 200);
    EXPECT_EQ(g.columns, 3);
    EXPECT_EQ(g.rows, 3);
    EXPECT_EQ(g.hitTest({0, 0}), 0);
    EXPECT_EQ(g.hitTest({99, 79}), 0);
    EXPECT_EQ(g.hitTest({100, 0}), 1);
    EXPECT_EQ(g.hitTest({250, 90}), 5);
    EXPECT_EQ(g.hitTest({50, 170}), 6);
    EXPECT_EQ(g.hitTest({150, 170}), -1); // the row is not full
    EXPECT_EQ(g.hitTest({320, 10}), -1);  // right of the last column
    EXPECT_EQ(g.hitTest({-1, 10}), -1);
    EXPECT_EQ(g.hitTest({10, 240}), -1);
    EXPECT_EQ(g.firstVisible(0), 0);
    EXPECT_EQ(g.firstVisible(79), 0);
    EXPECT_EQ(g.firstVisible(80), 3);
    EXPECT_EQ(g.firstVisible(100000), 7);
}

TEST(GridLayoutTest, AVeryTallGridIsScaledAndItsScrollBarStillReachesTheLastRowExactly) {
    // 2000 entries in one column of cells 110 high: 220000 pixels.
    const GridLayout g = GridLayout::compute(2000, 110, 110, 150, 400);
    EXPECT_EQ(g.columns, 1);
    EXPECT_EQ(g.totalHeight, 220000);
    EXPECT_DOUBLE_EQ(g.scale, 220000.0 / 30000.0);
    EXPECT_LE(g.barMaximum(), GridLayout::kMaxScrollUnits);
    EXPECT_EQ(g.topFromBar(g.barMaximum()), g.maxTop());
    EXPECT_EQ(g.maxTop(), 220000 - 400);
    const QRect last = g.cellRect(1999);
    EXPECT_EQ(last.bottom() + 1 - g.maxTop(), 400); // the last row ends at the bottom edge
    // Positions in between go through the scale both ways and stay inside.
    for (int value : {0, 1, 1000, g.barMaximum() - 1}) {
        const long long top = g.topFromBar(value);
        EXPECT_GE(top, 0);
        EXPECT_LE(top, g.maxTop());
        EXPECT_NEAR(static_cast<double>(g.barValue(top)), value, 1.0);
    }
    EXPECT_EQ(g.clampTop(-5), 0);
    EXPECT_EQ(g.clampTop(10'000'000), g.maxTop());
    // A grid within the bar's range is not scaled.
    EXPECT_DOUBLE_EQ(GridLayout::compute(200, 110, 110, 150, 400).scale, 1.0);
}

} // namespace
} // namespace vemra
