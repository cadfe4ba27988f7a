#include "document/cell_geometry.h"

#include <algorithm>

namespace vemra {

namespace {
constexpr int kFrameWidth = 2;
constexpr int kCaptionPadding = 4;
constexpr int kCaptionGap = 6;
} // namespace

CellGeometry cellGeometry(int cellWidth, int cellHeight, const EntryDrawingOptions& drawing,
                          int captionHeight) {
    CellGeometry g{cellWidth, cellHeight, cellWidth, cellHeight};
    if (drawing.frame) {
        g.areaWidth -= 2 * kFrameWidth;
        g.areaHeight -= 2 * kFrameWidth;
    }
    if (drawing.name)
        g.areaHeight -= std::max(0, captionHeight) + kCaptionPadding + kCaptionGap;
    g.areaWidth = std::max(1, g.areaWidth);
    g.areaHeight = std::max(1, g.areaHeight);
    return g;
}

} // namespace vemra
