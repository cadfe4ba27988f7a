#include "views/grid_layout.h"

#include <algorithm>
#include <cmath>

namespace vemra {

GridLayout GridLayout::compute(int count, int cellWidth, int cellHeight, int clientWidth,
                               int clientHeight) {
    GridLayout g;
    g.cellWidth = std::max(1, cellWidth);
    g.cellHeight = std::max(1, cellHeight);
    g.clientWidth = std::max(0, clientWidth);
    g.clientHeight = std::max(0, clientHeight);
    g.count = std::max(0, count);
    g.columns = std::max(1, g.clientWidth / g.cellWidth);
    g.rows = std::max(1, (g.count + g.columns - 1) / g.columns);
    g.totalHeight = static_cast<long long>(g.rows) * g.cellHeight;
    const double ratio = static_cast<double>(g.totalHeight) / kMaxScrollUnits;
    g.scale = ratio > 1.0 ? ratio : 1.0;
    g.visibleColumns = std::max(1, g.clientWidth / g.cellWidth);
    g.visibleRows = std::max(1, g.clientHeight / g.cellHeight);
    g.page = g.visibleRows * g.cellHeight;
    return g;
}

long long GridLayout::maxTop() const {
    return std::max(0LL, totalHeight - clientHeight);
}

long long GridLayout::clampTop(long long top) const {
    return std::clamp(top, 0LL, maxTop());
}

QRect GridLayout::cellRect(int index) const {
    return QRect((index % columns) * cellWidth, (index / columns) * cellHeight, cellWidth,
                 cellHeight);
}

int GridLayout::hitTest(QPoint point) const {
    if (point.x() < 0 || point.y() < 0)
        return -1;
    const int column = point.x() / cellWidth;
    if (column >= columns)
        return -1;
    const long long row = point.y() / cellHeight;
    const long long index = row * columns + column;
    return index < count ? static_cast<int>(index) : -1;
}

int GridLayout::firstVisible(long long top) const {
    const long long index = std::max(0LL, top) / cellHeight * columns;
    return static_cast<int>(std::min<long long>(index, count));
}

int GridLayout::barValue(long long top) const {
    return static_cast<int>(static_cast<double>(std::max(0LL, top)) / scale);
}

long long GridLayout::topFromBar(int value) const {
    // The bar's last unit stands for the very end, which truncation to
    // whole units would otherwise miss by up to one unit's worth of pixels.
    if (value >= barMaximum())
        return maxTop();
    return clampTop(std::llround(static_cast<double>(value) * scale));
}

} // namespace vemra
