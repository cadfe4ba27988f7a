#pragma once

#include <QPoint>
#include <QRect>

namespace vemra {

// The arithmetic of the thumbnail grid: equal cells in rows, filled left to
// right, with a vertical scroll position kept exactly in pixels. Very tall
// grids are shown through a scroll bar whose units are `scale` pixels each,
// so that the bar's numbers stay small (at most 30000 units for the whole
// height).
struct GridLayout {
    static constexpr int kMaxScrollUnits = 30000;

    int cellWidth = 1;
    int cellHeight = 1;
    int clientWidth = 0;
    int clientHeight = 0;
    int count = 0;
    int columns = 1;
    int rows = 1;
    long long totalHeight = 0;
    int visibleColumns = 1;
    int visibleRows = 1;
    int page = 0;
    double scale = 1.0;

    // The layout of `count` cells of the given size in a client area.
    static GridLayout compute(int count, int cellWidth, int cellHeight, int clientWidth,
                              int clientHeight);

    // The highest top position: the last row just fits at the bottom.
    long long maxTop() const;
    long long clampTop(long long top) const;
    // The cell rectangle of entry `index` in grid coordinates.
    QRect cellRect(int index) const;
    // The entry whose cell holds `point` (grid coordinates), or -1.
    int hitTest(QPoint point) const;
    // The first entry of the row at vertical position `top`.
    int firstVisible(long long top) const;

    // The scroll bar's numbers for a pixel position and back.
    int barValue(long long top) const;
    int barMaximum() const { return barValue(maxTop()); }
    long long topFromBar(int value) const;

    friend bool operator==(const GridLayout&, const GridLayout&) = default;
};

} // namespace vemra
